#include "platform/qt/file_dialog.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
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

// The file list's sizes and dates in Japanese: the file system model writes them in the system's language.
class JapaneseFileColumns : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files || role != Qt::DisplayRole || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex source = mapToSource(index);
        const QLocale japanese = dialogLocale();
        switch (index.column()) {
            case 1:
                if (files->isDir(source)) break;
                return japanese.formattedDataSize(files->size(source));
            case 3:
                return japanese.toString(files->lastModified(source), QLocale::ShortFormat);
            default:
                break;
        }
        return QIdentityProxyModel::data(index, role);
    }
};

// While a dialog runs, the default locale is Japanese too: Qt describes file types in it.
class DefaultLocaleScope {
  public:
    explicit DefaultLocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocaleScope() { QLocale::setDefault(m_saved); }
    DefaultLocaleScope(const DefaultLocaleScope&) = delete;
    DefaultLocaleScope& operator=(const DefaultLocaleScope&) = delete;

  private:
    QLocale m_saved;
};

std::optional<FileDialogAnswer> runQtDialog(QWidget* parent, const FileDialogRequest& request) {
    const DefaultLocaleScope japanese(dialogLocale());
    QFileDialog dialog(parent, request.title, request.directory);
    dialog.setLocale(dialogLocale());
    dialog.setProxyModel(new JapaneseFileColumns(&dialog));
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

QLocale dialogLocale() {
    return QLocale(QLocale::Japanese, QLocale::Japan);
}

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
