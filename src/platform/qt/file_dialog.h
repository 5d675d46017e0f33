#pragma once
// Open and save dialogs set up the classic way: a title, a "|"-separated filter list, a selected filter
// counted from 1, a default extension; behind a seam so tests can answer them.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>

class QLocale;
class QWidget;

namespace nrbx::platform {

enum class FileDialogKind { Open, Save };

// What a dialog is about to show: name filters already in Qt's syntax ("Description (*.a *.b)").
struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    QString title;
    QStringList nameFilters;
    int filterIndex = 1;
    QString fileName;  // the initial name, empty for none
    QString directory;
    QString defaultSuffix;
};

struct FileDialogAnswer {
    QString fileName;  // full path
    int filterIndex = 1;
};

// Test seam: a runner answers instead of a person (nullopt: cancelled). An empty one restores the real
// dialog.
using FileDialogRunner = std::function<std::optional<FileDialogAnswer>(QWidget*, const FileDialogRequest&)>;
void setFileDialogRunner(FileDialogRunner runner);

// The dialogs speak the window's language, Japanese, whatever the system's is.
QLocale dialogLocale();

// "Desc|*.a;*.b|All|*.*" as Qt name filters, one per pair. "*.*" becomes "*": it means every file.
QStringList qtNameFilters(const QString& filterList);

class FileDialog : public QObject {
    Q_OBJECT
  public:
    explicit FileDialog(FileDialogKind kind, QObject* parent = nullptr) : QObject(parent), m_kind(kind) {}

    void setTitle(const QString& title) { m_title = title; }
    void setFilter(const QString& filterList) { m_filter = filterList; }
    void setFilterIndex(int index) { m_filterIndex = index; }
    void setFileName(const QString& fileName) { m_fileName = fileName; }
    void setDefaultExt(const QString& extension) { m_defaultExt = extension; }

    const QString& title() const { return m_title; }
    const QString& filter() const { return m_filter; }
    int filterIndex() const { return m_filterIndex; }
    const QString& fileName() const { return m_fileName; }
    const QString& defaultExt() const { return m_defaultExt; }
    // The chosen name as the file system spells it, for the file layer.
    std::string localFileName() const;

    // Shows the dialog modally. On OK the file name and filter index are those chosen; on cancel both
    // stay as they were. The folder of the last choice is where the next showing starts.
    bool execute(QWidget* parent);

  private:
    FileDialogKind m_kind;
    QString m_title;
    QString m_filter;
    int m_filterIndex = 1;
    QString m_fileName;
    QString m_defaultExt;
    QString m_directory;
};

}  // namespace nrbx::platform
