#pragma once
// The main window: renders the Document after every command and forwards the
// user's commands to it. Nothing here decides what a command does.

#include <QMainWindow>
#include <QStringList>

#include <memory>

#include "shell/Document.h"
#include "shell/Navigation.h"
#include "shell/qt/SystemSettings.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QModelIndex;
class QPushButton;
class QToolBar;
class QToolButton;
class QTreeView;

namespace kestrova {

struct Sample;
struct SampleTrack;
class StreamGraphWindow;
class HexEntry;
class LinePane;
class NodeTreeModel;
class PictureView;
class TOrvAboutBox;
class FindBar;
struct SampleList;

class TParserMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TParserMain(RegionalSettings settings = SystemRegionalSettings(), QWidget* parent = nullptr);
    ~TParserMain() override;

    // The about box is created after the window and lives as long.
    void SetAboutBox(TOrvAboutBox* aboutBox) { aboutBox_ = aboutBox; }

    const Document& Doc() const { return document_; }

    // What the open dialog does once the user has chosen path.
    void OpenFile(const QString& path);
    // Opens a media segment with its initialisation segment, in the full view.
    void OpenSegment(const QString& segment, const QString& init);
    // What a drop of these local files does.
    void DropFiles(const QStringList& paths);

    // The window's commands.
    void FileOpen1Execute();
    void FileOpenSegment1Execute();
    void Reload1Click();
    void Button1Click();
    void HelpAbout1Execute();
    void StreamGraph1Execute();
    // FullView1 and FullViewCheck toggled: the file is read again in that view.
    void FullView1Toggled(bool full);
    // A double-click on a sample in the graph: its table node and line are selected.
    void ShowSampleSource(const SampleTrack& track, const Sample& sample);
    StreamGraphWindow* GraphWindow() const { return graphWindow_; }

    // Selects a node as a click on it does, scrolling it into sight.
    void SelectNode(std::int32_t node);
    // Selects the innermost node holding byte and lights the byte (Ctrl+L, an offset in the find bar).
    void GoToByte(std::int32_t node, std::uint64_t byte);
    // Alt+Left, Alt+Right and the mouse's back and forward buttons.
    void GoBack();
    void GoForward();
    void CopyBoxPath();
    // File > Export Description... and Export All as JSON... once a file name is chosen;
    // false when nothing was written (no file, cancelled, a write error).
    bool ExportDescription(const QString& path);
    bool ExportAllJson(const QString& path);
    // File > Save Picture As... once a file name is chosen; false when nothing was written.
    bool SavePicture(const QString& path);
    const NodeIndex& Index() const { return index_; }
    const NodeHistory& History() const { return history_; }

    QAction* FileNew1 = nullptr;
    QAction* FileOpen1 = nullptr;
    QAction* FileOpenSegment1 = nullptr;  // a media segment with its initialisation segment
    QAction* FileSave1 = nullptr;
    QAction* FileSaveAs1 = nullptr;
    QAction* FileExit1 = nullptr;
    QAction* EditCut1 = nullptr;
    QAction* EditCopy1 = nullptr;
    QAction* EditPaste1 = nullptr;
    QAction* EditFind1 = nullptr;
    QAction* Reload1 = nullptr;
    QAction* HelpAbout1 = nullptr;
    QAction* StreamGraph1 = nullptr;
    QAction* FullView1 = nullptr;  // checkable; checked while the full view is shown
    QAction* EditFindNext1 = nullptr;
    QAction* EditFindPrevious1 = nullptr;
    QAction* GoToOffset1 = nullptr;
    QAction* GoBack1 = nullptr;
    QAction* GoForward1 = nullptr;
    QAction* EditCopyPath1 = nullptr;
    QAction* FileExportDescription1 = nullptr;
    QAction* FileExportJson1 = nullptr;
    QAction* FileSavePicture1 = nullptr;  // enabled while a picture is shown

    QMenu* File1 = nullptr;
    QMenu* Edit1 = nullptr;
    QMenu* View1 = nullptr;
    QMenu* Help1 = nullptr;

    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton4 = nullptr;
    HexEntry* OffsetEdit = nullptr;
    HexEntry* SizeEdit = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox* FullViewCheck = nullptr;  // mirrors FullView1
    QTreeView* TreeView1 = nullptr;
    LinePane* BOX_Description = nullptr;
    LinePane* FILEInfo = nullptr;
    QLabel* StatusText = nullptr;
    FindBar* FindBar1 = nullptr;
    PictureView* PictureView1 = nullptr;  // under BOX_Description, hidden without a picture

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreatePanes();
    void TreeView1Click();
    // A click on a description line (or the arrow keys moving to it).
    void SelectDescriptionLine(std::int64_t line);
    // A click in FILEInfo, on a byte of the dump or elsewhere.
    void ClickFileInfo(std::int64_t line, int character);
    // Scrolls the first lit byte of FILEInfo into sight.
    void ScrollToHighlight();
    // Shows what the Document holds; treeChanged after an open.
    void Render(bool treeChanged);
    void UpdateEditActions();
    // Shows the graph of the open file's samples, in front when asked.
    void ShowGraphWindow(bool bringForward);
    QWidget* FocusedTextControl() const;
    // Before the document opens a file or switches view: a running search stops
    // (it reads the parse about to go) and the history goes.
    void BeforeReopen();
    void ShowTreeNode(std::int64_t node);
    void UpdateNavigationActions();
    // The picture of the selected box, decoded off this thread; looked up again only when the selection moves.
    void UpdatePicture(bool treeChanged);

    Document document_;
    NodeTreeModel* treeModel_ = nullptr;
    TOrvAboutBox* aboutBox_ = nullptr;
    StreamGraphWindow* graphWindow_ = nullptr;
    NodeIndex index_;
    NodeHistory history_;
    std::int64_t pictureNode_ = -1;  // the node UpdatePicture last looked at
    std::unique_ptr<SampleList> samples_;  // for the status of a byte gone to; built at the first
};

}  // namespace kestrova
