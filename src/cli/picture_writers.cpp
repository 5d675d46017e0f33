#include "cli/picture_writers.h"

#include <algorithm>

#include "export/bmp_writer.h"
#include "export/png/png_writer.h"

namespace nrbx::cli {

void writePictureFile(const exporting::ExportImage& image, Format format, const std::string& path) {
    if (format == Format::Png) {
        exporting::WritePngFile(image, path);
    } else {
        exporting::WriteBmpFile(image, path);
    }
}

PictureWriters::PictureWriters() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto count = std::min<std::size_t>(cores, kSlots);
    m_queue.reserve(kSlots);  // so submit cannot fail halfway
    m_threads.reserve(count);
    for (std::size_t n = 0; n < count; ++n) m_threads.emplace_back([this] { work(); });
}

PictureWriters::~PictureWriters() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_workAdded.notify_all();
    for (auto& thread : m_threads) thread.join();
}

PictureWriters::Slot* PictureWriters::freeSlot() {
    for (auto& slot : m_slots) {
        if (!slot.busy) return &slot;
    }
    return nullptr;
}

void PictureWriters::submit(Slot& slot) {
    {
        const std::lock_guard lock(m_mutex);
        slot.busy = true;
        slot.done = false;
        slot.error = nullptr;
        m_queue.push_back(&slot);
    }
    m_workAdded.notify_one();
}

bool PictureWriters::finished(Slot& slot) {
    const std::lock_guard lock(m_mutex);
    return slot.done;
}

void PictureWriters::wait(Slot& slot) {
    std::unique_lock lock(m_mutex);
    m_workDone.wait(lock, [&] { return slot.done; });
}

void PictureWriters::release(Slot& slot) {
    const std::lock_guard lock(m_mutex);
    slot.busy = false;
}

void PictureWriters::work() {
    for (;;) {
        Slot* slot = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_workAdded.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
            if (m_stopping) return;
            slot = m_queue.front();
            m_queue.erase(m_queue.begin());
        }
        // Each worker's encoder keeps its compressor and buffers for the thread (the writers' own).
        std::exception_ptr error;
        try {
            writePictureFile(slot->image, slot->format, slot->output);
        } catch (...) {
            // The thread's boundary: handed to the caller, who reports it in the batch's order.
            error = std::current_exception();
        }
        {
            const std::lock_guard lock(m_mutex);
            slot->error = error;
            slot->done = true;
        }
        m_workDone.notify_all();
    }
}

}  // namespace nrbx::cli
