#include "platform/qt/file_dialog.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <utility>

namespace nrbx::platform {

namespace {

FileDialogRunner g_runner;

// Counted from 1; 0 for none. With the details hidden the dialog names a filter by its description.
int filterNumber(const QStringList& filters, const QString& selected) {
    for (qsizetype i = 0; i < filters.size(); ++i) {
        const QString& filter = filters.at(i);
        if (filter == selected || filter.left(filter.lastIndexOf(QStringLiteral(" ("))) == selected) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

std::optional<FileDialogAnswer> runQtDialog(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent, request.title, request.directory);
    // Qt's own dialog everywhere, so the default suffix, the filters and the missing overwrite question
    // behave the same on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    // The chosen file need not exist: opening it is what fails.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (request.kind == FileDialogKind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
    }
    dialog.setNameFilters(request.nameFilters);
    if (request.filterIndex >= 1 && request.filterIndex <= request.nameFilters.size()) {
        dialog.selectNameFilter(request.nameFilters.at(request.filterIndex - 1));
    }
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return FileDialogAnswer{dialog.selectedFiles().constFirst(),
                            filterNumber(request.nameFilters, dialog.selectedNameFilter())};
}

QString qtPattern(const QString& pattern) {
    return pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern;
}

}  // namespace

void setFileDialogRunner(FileDialogRunner runner) {
    g_runner = std::move(runner);
}

QStringList qtNameFilters(const QString& filterList) {
    const QStringList parts = filterList.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            patterns << qtPattern(pattern.trimmed());
        }
        filters << parts.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

std::string FileDialog::localFileName() const {
    return QFile::encodeName(m_fileName).toStdString();
}

bool FileDialog::execute(QWidget* parent) {
    FileDialogRequest request;
    request.kind = m_kind;
    request.title = m_title;
    request.nameFilters = qtNameFilters(m_filter);
    request.filterIndex = m_filterIndex;
    request.fileName = m_fileName;
    request.directory = m_directory;
    request.defaultSuffix = m_defaultExt;
    const auto answer = g_runner ? g_runner(parent, request) : runQtDialog(parent, request);
    if (!answer) return false;
    m_fileName = answer->fileName;
    m_filterIndex = answer->filterIndex;
    m_directory = QFileInfo(m_fileName).absolutePath();
    return true;
}

}  // namespace nrbx::platform
