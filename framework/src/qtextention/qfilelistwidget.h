// A list of files with their read-only state, which can be copied or shown in the file manager,
// and a plain dialog around it.
#pragma once

#include <QDialog>
#include <QStringList>
#include <QTreeWidget>

class QFileListWidget : public QTreeWidget {
    Q_OBJECT

public:
    enum Column { FileColumn = 0, ReadOnlyColumn = 1 };
    static constexpr int kRowHeight = 18;

    explicit QFileListWidget(const QStringList& files);

    void AddFiles(const QStringList& files);
    void AddFile(const QString& path);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void ShowFiles();
    void CopyToClipboard();

private:
    QStringList SelectedPaths() const;
};

class QFileListDialog : public QDialog {
public:
    explicit QFileListDialog(const QStringList& files);

    QFileListWidget* fileListWidget;
};

// Shows files in a modal list dialog without a parent.
void ShowFileListDialog(const QString& title, const QStringList& files);
