#pragma once
// Pictures of a batch encoded and written by worker threads while the next input is converted (the
// canvas state is global, so conversion stays on the calling thread). Results come back in the order
// the pictures went in.

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/export_jobs.h"
#include "export/export_image.h"

namespace nrbx::cli {

// The picture as a file in the format, by atomic replace: the one way a batch, its workers and a single
// conversion write a picture file.
void writePictureFile(const exporting::ExportImage& image, Format format, const std::string& path);

class PictureWriters {
  public:
    // Pictures in flight at most: being written or waiting for a worker.
    static constexpr std::size_t kSlots = 4;

    struct Slot {
        exporting::ExportImage image;  // kept with its buffers from picture to picture
        Format format = Format::Bmp;
        std::string output;
        std::exception_ptr error;  // what the write raised, for the caller to handle
        bool done = false;
        bool busy = false;
    };

    // One worker per core (at least one, at most kSlots).
    PictureWriters();
    // Pictures not yet begun are dropped; those being written are finished first.
    ~PictureWriters();
    PictureWriters(const PictureWriters&) = delete;
    PictureWriters& operator=(const PictureWriters&) = delete;

    // A slot to fill, or nullptr when all are in flight.
    Slot* freeSlot();
    // The filled slot goes to a worker.
    void submit(Slot& slot);
    // Whether the slot's write has ended (its error is then set).
    bool finished(Slot& slot);
    // Blocks until the slot's write has ended.
    void wait(Slot& slot);
    // After its result has been handled: the slot may be filled again.
    void release(Slot& slot);

  private:
    void work();

    std::array<Slot, kSlots> m_slots;
    std::vector<Slot*> m_queue;  // submitted, not yet begun, oldest first
    std::mutex m_mutex;
    std::condition_variable m_workAdded;
    std::condition_variable m_workDone;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace nrbx::cli
