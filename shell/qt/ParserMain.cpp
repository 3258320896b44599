#include "shell/qt/ParserMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <fstream>

#include "DumpState.h"
#include "common/Formatters.h"
#include "common/SampleList.h"
#include "shell/HexView.h"
#include "shell/Picture.h"
#include "shell/qt/AboutBox.h"
#include "shell/qt/FindBar.h"
#include "shell/qt/HexEntry.h"
#include "shell/qt/LinePane.h"
#include "shell/qt/NodeTreeModel.h"
#include "shell/qt/PictureView.h"
#include "shell/qt/StreamGraph.h"
#include "shell/StreamSamples.h"

namespace kestrova {
namespace {

constexpr int kClientWidth = 1001;
constexpr int kClientHeight = 564;
constexpr int kToolBarHeight = 30;
constexpr int kTreeWidth = 215;
constexpr int kFileInfoWidth = 483;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// "Short|Long": the short hint is the tool tip, the long one the status bar text.
void SetHint(QAction* action, const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

QFont PaneFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // Columns line up only when Hangul is exactly two columns wide: prefer a
    // fixed-pitch face drawn that way, else the system's fixed font and its fallbacks.
    font.setFamilies({QStringLiteral("NanumGothicCoding"), font.family()});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(12);
    return font;
}

QList<QUrl> LocalFileUrls(const QMimeData* mime) {
    QList<QUrl> urls;
    if (!mime || !mime->hasUrls()) return urls;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) urls.push_back(url);
    return urls;
}

}  // namespace

TParserMain::TParserMain(RegionalSettings settings, QWidget* parent)
    : QMainWindow(parent), document_(std::move(settings)) {
    setObjectName(QStringLiteral("ParserMain"));
    setWindowIcon(KestrovaIcon());
    setAcceptDrops(true);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreatePanes();

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar"));
    StatusText = new QLabel(bar);
    StatusText->setObjectName(QStringLiteral("StatusText"));
    StatusText->setTextFormat(Qt::PlainText);
    bar->addWidget(StatusText, 1);
    setStatusBar(bar);

    connect(qApp, &QApplication::focusChanged, this, &TParserMain::UpdateEditActions);
    qApp->installEventFilter(this);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TParserMain::UpdateEditActions);

    Render(true);
    UpdateEditActions();
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
}

TParserMain::~TParserMain() {
    // The base classes hide the window and move the focus after this object is gone.
    disconnect(qApp, nullptr, this, nullptr);
    qApp->removeEventFilter(this);
    disconnect(QApplication::clipboard(), nullptr, this, nullptr);
    // A text search reads the document, which goes before the bar does.
    FindBar1->Reset();
}

void TParserMain::CreateActions() {
    auto make = [this](const char* name, const QString& text, const QKeySequence& shortcut, const QString& hint) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(shortcut);
        if (!hint.isEmpty()) SetHint(action, hint);
        addAction(action);  // shortcuts work wherever the focus is in the window
        return action;
    };
    FileNew1 = make("FileNew1", QStringLiteral("&New"), QKeySequence(Qt::CTRL | Qt::Key_N),
                    QStringLiteral("New|Create a new file"));
    FileOpen1 = make("FileOpen1", QStringLiteral("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O),
                     QStringLiteral("Open|Open a file"));
    FileOpenSegment1 = make("FileOpenSegment1", QStringLiteral("Open Segment With &Initialisation..."), QKeySequence(),
                            QStringLiteral("Open Segment With Initialisation|Open a media segment (.m4s) with the "
                                           "initialisation segment that holds its tracks and defaults"));
    FileSave1 = make("FileSave1", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
                     QStringLiteral("Save|Save current file"));
    FileSaveAs1 = make("FileSaveAs1", QStringLiteral("Save &As..."), QKeySequence(),
                       QStringLiteral("Save As|Save current file with different name"));
    FileExit1 = make("FileExit1", QStringLiteral("E&xit"), QKeySequence(), QStringLiteral("Exit|Exit application"));
    EditCut1 = make("EditCut1", QStringLiteral("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X),
                    QStringLiteral("Cut|Cuts the selection and puts it on the Clipboard"));
    EditCopy1 = make("EditCopy1", QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C),
                     QStringLiteral("Copy|Copies the selection and puts it on the Clipboard"));
    EditPaste1 = make("EditPaste1", QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V),
                      QStringLiteral("Paste|Inserts Clipboard contents"));
    EditFind1 = make("EditFind1", QStringLiteral("&Find"), QKeySequence(Qt::CTRL | Qt::Key_F), QString());
    Reload1 = make("Reload1", QStringLiteral("&Reload"), QKeySequence(Qt::CTRL | Qt::Key_R),
                   QStringLiteral("Reload File"));
    HelpAbout1 = make("HelpAbout1", QStringLiteral("&About..."), QKeySequence(Qt::ALT | Qt::Key_A),
                      QStringLiteral("About|Shows the name and version of the program"));

    StreamGraph1 = make("StreamGraph1", QStringLiteral("Stream &Graph"), QKeySequence(Qt::CTRL | Qt::Key_G),
                        QStringLiteral("Stream Graph|Shows every sample of every track over time"));
    StreamGraph1->setEnabled(false);
    connect(StreamGraph1, &QAction::triggered, this, &TParserMain::StreamGraph1Execute);

    FullView1 = make("FullView1", QStringLiteral("&Full View"), QKeySequence(Qt::Key_F6),
                     QStringLiteral("Full View|Decodes every box, each field lighting its bytes or bits"));
    FullView1->setCheckable(true);
    connect(FullView1, &QAction::toggled, this, &TParserMain::FullView1Toggled);

    EditFindNext1 = make("EditFindNext1", QStringLiteral("Find &Next"), QKeySequence(Qt::Key_F3),
                         QStringLiteral("Find Next|Goes to the next hit of the find bar"));
    EditFindPrevious1 = make("EditFindPrevious1", QStringLiteral("Find Pre&vious"), QKeySequence(Qt::SHIFT | Qt::Key_F3),
                             QStringLiteral("Find Previous|Goes to the previous hit of the find bar"));
    GoToOffset1 = make("GoToOffset1", QStringLiteral("&Go to Offset..."), QKeySequence(Qt::CTRL | Qt::Key_L),
                       QStringLiteral("Go to Offset|Selects the innermost box holding a byte and lights the byte"));
    EditCopyPath1 = make("EditCopyPath1", QStringLiteral("Copy Box &Path"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
                         QStringLiteral("Copy Box Path|Copies the path of the selected box, such as moov/trak[2]/mdia"));
    GoBack1 = make("GoBack1", QStringLiteral("&Back"), QKeySequence(Qt::ALT | Qt::Key_Left),
                   QStringLiteral("Back|Selects the box selected before"));
    GoForward1 = make("GoForward1", QStringLiteral("F&orward"), QKeySequence(Qt::ALT | Qt::Key_Right),
                      QStringLiteral("Forward|Selects the box selected after, once gone back"));
    FileExportDescription1 = make("FileExportDescription1", QStringLiteral("Export &Description..."), QKeySequence(),
                                  QStringLiteral("Export Description|Writes the description pane to a text file"));
    FileExportJson1 = make("FileExportJson1", QStringLiteral("Export All as &JSON..."), QKeySequence(),
                           QStringLiteral("Export All as JSON|Writes every box's description and ranges to a JSON file"));
    FileSavePicture1 = make("FileSavePicture1", QStringLiteral("Save P&icture As..."), QKeySequence(),
                            QStringLiteral("Save Picture As|Writes the picture of the selected box to a file"));
    FileSavePicture1->setEnabled(false);
    connect(FileSavePicture1, &QAction::triggered, this, [this] {
        // A cover is written as the file holds it; an item, once decoded, as PNG.
        const QString filter = PictureView1->SavesAsPng()
                                   ? QStringLiteral("PNG image, decoded (*.png)")
                                   : QStringLiteral("The picture as stored (*.%1);;All Files (*)").arg(PictureView1->SuggestedSuffix());
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Picture As"),
                                                          QStringLiteral("picture.") + PictureView1->SuggestedSuffix(), filter);
        if (!path.isEmpty()) SavePicture(path);
    });
    connect(EditFind1, &QAction::triggered, this, [this] { FindBar1->Open(); });
    connect(EditFindNext1, &QAction::triggered, this, [this] {
        FindBar1->show();
        FindBar1->Next();
    });
    connect(EditFindPrevious1, &QAction::triggered, this, [this] {
        FindBar1->show();
        FindBar1->Previous();
    });
    connect(GoToOffset1, &QAction::triggered, this, [this] { FindBar1->OpenForOffset(); });
    connect(EditCopyPath1, &QAction::triggered, this, &TParserMain::CopyBoxPath);
    connect(GoBack1, &QAction::triggered, this, &TParserMain::GoBack);
    connect(GoForward1, &QAction::triggered, this, &TParserMain::GoForward);
    connect(FileExportDescription1, &QAction::triggered, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export Description"), QString(),
                                                          QStringLiteral("Text files (*.txt);;All Files (*)"));
        if (!path.isEmpty()) ExportDescription(path);
    });
    connect(FileExportJson1, &QAction::triggered, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export All as JSON"), QString(),
                                                          QStringLiteral("JSON files (*.json);;All Files (*)"));
        if (!path.isEmpty()) ExportAllJson(path);
    });

    FileOpen1->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    FileNew1->setEnabled(false);
    FileSave1->setEnabled(false);
    FileSaveAs1->setEnabled(false);
    Reload1->setEnabled(false);

    connect(FileOpen1, &QAction::triggered, this, &TParserMain::FileOpen1Execute);
    connect(FileOpenSegment1, &QAction::triggered, this, &TParserMain::FileOpenSegment1Execute);
    connect(FileExit1, &QAction::triggered, this, &QWidget::close);
    connect(Reload1, &QAction::triggered, this, &TParserMain::Reload1Click);
    connect(HelpAbout1, &QAction::triggered, this, &TParserMain::HelpAbout1Execute);
    connect(EditCut1, &QAction::triggered, this, [this] {
        if (auto* entry = qobject_cast<HexEntry*>(FocusedTextControl())) entry->cut();
    });
    connect(EditCopy1, &QAction::triggered, this, [this] {
        QWidget* focused = FocusedTextControl();
        if (auto* entry = qobject_cast<HexEntry*>(focused)) entry->copy();
        else if (auto* pane = qobject_cast<LinePane*>(focused)) pane->copy();
    });
    connect(EditPaste1, &QAction::triggered, this, [this] {
        if (auto* entry = qobject_cast<HexEntry*>(FocusedTextControl())) entry->paste();
    });
}

void TParserMain::CreateMenus() {
    File1 = menuBar()->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    File1->menuAction()->setStatusTip(QStringLiteral("File related commands"));
    File1->addAction(FileNew1);
    File1->addAction(FileOpen1);
    File1->addAction(FileOpenSegment1);
    File1->addAction(FileSave1);
    File1->addAction(FileSaveAs1);
    File1->addSeparator();
    File1->addAction(FileExportDescription1);
    File1->addAction(FileExportJson1);
    File1->addAction(FileSavePicture1);
    File1->addSeparator();
    File1->addAction(FileExit1);

    Edit1 = menuBar()->addMenu(QStringLiteral("&Edit"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->menuAction()->setStatusTip(QStringLiteral("Edit commands"));
    Edit1->addAction(EditCut1);
    Edit1->addAction(EditCopy1);
    Edit1->addAction(EditPaste1);
    Edit1->addAction(EditFind1);
    Edit1->addAction(EditFindNext1);
    Edit1->addAction(EditFindPrevious1);
    Edit1->addAction(GoToOffset1);
    Edit1->addSeparator();
    Edit1->addAction(EditCopyPath1);
    connect(Edit1, &QMenu::aboutToShow, this, &TParserMain::UpdateEditActions);

    View1 = menuBar()->addMenu(QStringLiteral("&View"));
    View1->setObjectName(QStringLiteral("View1"));
    View1->addAction(FullView1);
    View1->addAction(StreamGraph1);
    View1->addSeparator();
    View1->addAction(GoBack1);
    View1->addAction(GoForward1);

    menuBar()->addAction(Reload1);

    Help1 = menuBar()->addMenu(QStringLiteral("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Help1->menuAction()->setStatusTip(QStringLiteral("Help topics"));
    Help1->addAction(HelpAbout1);
}

void TParserMain::CreateToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(kToolBarHeight);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->toggleViewAction()->setEnabled(false);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    ToolButton1 = new QToolButton(ToolBar1);
    ToolButton1->setObjectName(QStringLiteral("ToolButton1"));
    ToolButton1->setDefaultAction(FileOpen1);
    ToolButton1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->addWidget(ToolButton1);
    ToolBar1->addSeparator();

    ToolButton4 = new QToolButton(ToolBar1);
    ToolButton4->setObjectName(QStringLiteral("ToolButton4"));
    ToolButton4->setDefaultAction(Reload1);
    ToolButton4->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ToolBar1->addWidget(ToolButton4);

    // The wide separator before the entries.
    auto* gap = new QWidget(ToolBar1);
    gap->setFixedWidth(24);
    auto* gapLayout = new QHBoxLayout(gap);
    gapLayout->setContentsMargins(0, 3, 0, 3);
    auto* line = new QFrame(gap);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    gapLayout->addWidget(line, 0, Qt::AlignHCenter);
    ToolBar1->addWidget(gap);

    auto label = [this](const QString& text) {
        auto* l = new QLabel(text, ToolBar1);
        l->setTextFormat(Qt::PlainText);
        ToolBar1->addWidget(l);
    };
    label(QStringLiteral("Offset   0x"));
    OffsetEdit = new HexEntry(static_cast<int>(kOffsetEditMaxLength), ToolBar1);
    OffsetEdit->setObjectName(QStringLiteral("OffsetEdit"));
    OffsetEdit->setFixedWidth(72);
    ToolBar1->addWidget(OffsetEdit);
    label(QStringLiteral("  Size   0x"));
    SizeEdit = new HexEntry(static_cast<int>(kSizeEditMaxLength), ToolBar1);
    SizeEdit->setObjectName(QStringLiteral("SizeEdit"));
    SizeEdit->setFixedWidth(58);
    ToolBar1->addWidget(SizeEdit);

    auto* space = new QWidget(ToolBar1);
    space->setFixedWidth(6);
    ToolBar1->addWidget(space);
    Button1 = new QPushButton(QStringLiteral("Read Offset"), ToolBar1);
    Button1->setObjectName(QStringLiteral("Button1"));
    ToolBar1->addWidget(Button1);

    auto* before = new QWidget(ToolBar1);
    before->setFixedWidth(12);
    ToolBar1->addWidget(before);
    FullViewCheck = new QCheckBox(QStringLiteral("Full View"), ToolBar1);
    FullViewCheck->setObjectName(QStringLiteral("FullViewCheck"));
    FullViewCheck->setToolTip(FullView1->toolTip() + QStringLiteral(" (F6)"));
    FullViewCheck->setStatusTip(FullView1->statusTip());
    // Like the tool buttons it leaves the focus in the pane the user works in; F6 is its key.
    FullViewCheck->setFocusPolicy(Qt::NoFocus);
    ToolBar1->addWidget(FullViewCheck);
    connect(FullViewCheck, &QCheckBox::toggled, FullView1, &QAction::setChecked);

    // What the user types is what Read Offset and the next render see.
    connect(OffsetEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { document_.SetOffsetEditFromUser(text.toStdString()); });
    connect(SizeEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { document_.SetSizeEditFromUser(text.toStdString()); });
    connect(OffsetEdit, &QLineEdit::selectionChanged, this, &TParserMain::UpdateEditActions);
    connect(SizeEdit, &QLineEdit::selectionChanged, this, &TParserMain::UpdateEditActions);
    connect(Button1, &QPushButton::clicked, this, &TParserMain::Button1Click);
}

void TParserMain::CreatePanes() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    FindBar1 = new FindBar(central);
    FindBar1->ShowNode = [this](std::int32_t node) { SelectNode(node); };
    FindBar1->ShowByte = [this](std::int32_t node, std::uint64_t byte) { GoToByte(node, byte); };
    column->addWidget(FindBar1);
    auto* panes = new QWidget(central);
    panes->setObjectName(QStringLiteral("Panes"));
    column->addWidget(panes, 1);
    // The picture of a box sits under its description and takes no room while hidden.
    auto* layout = new QGridLayout(panes);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    treeModel_ = new NodeTreeModel(this);
    TreeView1 = new QTreeView(panes);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setModel(treeModel_);
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(19);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setUniformRowHeights(true);
    TreeView1->setExpandsOnDoubleClick(false);
    TreeView1->setFont(PaneFont());
    TreeView1->setFixedWidth(kTreeWidth);
    TreeView1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    TreeView1->header()->setStretchLastSection(false);
    connect(TreeView1, &QTreeView::clicked, this, [this](const QModelIndex&) { TreeView1Click(); });

    BOX_Description = new LinePane(panes);
    BOX_Description->setObjectName(QStringLiteral("BOX_Description"));
    BOX_Description->setFont(PaneFont());
    BOX_Description->SetSource(&document_.BoxDescriptionPane());

    FILEInfo = new LinePane(panes);
    FILEInfo->setObjectName(QStringLiteral("FILEInfo"));
    FILEInfo->setFont(PaneFont());
    FILEInfo->setFixedWidth(kFileInfoWidth);
    FILEInfo->SetSource(&document_.FileInfoPane());

    connect(BOX_Description, &LinePane::selectionChanged, this, &TParserMain::UpdateEditActions);
    connect(FILEInfo, &LinePane::selectionChanged, this, &TParserMain::UpdateEditActions);

    // A description line and the bytes it was read from light together.
    BOX_Description->SetLineCursor(true);
    connect(BOX_Description, &LinePane::clicked, this,
            [this](std::int64_t line, int) { SelectDescriptionLine(line); });
    connect(BOX_Description, &LinePane::currentLineMoved, this, &TParserMain::SelectDescriptionLine);
    connect(FILEInfo, &LinePane::clicked, this, &TParserMain::ClickFileInfo);
    FILEInfo->SetMarks([this](std::int64_t line, const QString&) {
        std::vector<std::pair<int, int>> marks;
        const auto& lit = document_.Highlight();
        const auto& rows = document_.FileInfoPane().Lines();
        if (!lit || !document_.Dump() || line < 0 || static_cast<std::size_t>(line) >= rows.size()) return marks;
        for (const auto& [first, last] : HexRowSpans(rows[static_cast<std::size_t>(line)], lit->offset, lit->End()))
            marks.emplace_back(static_cast<int>(first), static_cast<int>(last));
        return marks;
    });
    // Copy there takes the selected text, else the lit bytes.
    FILEInfo->SetCopyFallback(
        [this] {
            const auto& lit = document_.Highlight();
            const auto& dump = document_.Dump();
            return lit && dump && lit->offset < dump->offset + dump->length && dump->offset < lit->End();
        },
        [this] { return Q(document_.HighlightedBytesText()); });

    PictureView1 = new PictureView(panes);
    connect(PictureView1, &PictureView::changed, this,
            [this] { FileSavePicture1->setEnabled(PictureView1->HasPicture()); });

    layout->addWidget(TreeView1, 0, 0, 2, 1);
    layout->addWidget(BOX_Description, 0, 1);
    layout->addWidget(PictureView1, 1, 1);
    layout->addWidget(FILEInfo, 0, 2, 2, 1);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(0, 3);
    layout->setRowStretch(1, 2);
    setCentralWidget(central);
}

void TParserMain::OpenFile(const QString& path) {
    BeforeReopen();
    document_.SetInitialisationPath({});
    document_.OpenFile(path.toStdString());
    Render(true);
}

void TParserMain::DropFiles(const QStringList& paths) {
    std::vector<std::string> list;
    list.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& p : paths) list.push_back(p.toStdString());
    BeforeReopen();
    document_.SetInitialisationPath({});
    document_.DropFiles(list);
    Render(true);
}

void TParserMain::FileOpen1Execute() {
    QFileDialog dialog(this, QStringLiteral("Open"));
    dialog.setObjectName(QStringLiteral("OpenDialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QStringLiteral("All Files (*.*)"));
    // Here "*.*" would hide files without an extension; all files means all of them.
    if (auto* model = dialog.findChild<QFileSystemModel*>()) model->setNameFilters({});
    const QString current = Q(document_.DialogFileName());
    if (!current.isEmpty()) {
        dialog.setDirectory(QFileInfo(current).absolutePath());
        dialog.selectFile(current);
    }
    if (dialog.exec() != QDialog::Accepted) return;
    const QStringList chosen = dialog.selectedFiles();
    if (!chosen.isEmpty()) OpenFile(chosen.front());
}

void TParserMain::FileOpenSegment1Execute() {
    const QString start = document_.DialogFileName().empty() ? QString() : QFileInfo(Q(document_.DialogFileName())).absolutePath();
    const QString segment = QFileDialog::getOpenFileName(this, QStringLiteral("Open Segment"), start,
                                                         QStringLiteral("Media segments (*.m4s *.mp4 *.cmfv *.cmfa);;All Files (*)"));
    if (segment.isEmpty()) return;
    const QString init = QFileDialog::getOpenFileName(this, QStringLiteral("Its Initialisation Segment"),
                                                      QFileInfo(segment).absolutePath(),
                                                      QStringLiteral("Initialisation segments (*.mp4 *.m4s *.cmfv *.cmfa);;All Files (*)"));
    if (init.isEmpty()) return;
    OpenSegment(segment, init);
}

void TParserMain::OpenSegment(const QString& segment, const QString& init) {
    BeforeReopen();
    document_.OpenSegment(segment.toStdString(), init.toStdString());
    {
        // The segment opens in the full view, the only one that reads the initialisation segment.
        const QSignalBlocker quietAction(FullView1);
        const QSignalBlocker quietCheck(FullViewCheck);
        FullView1->setChecked(true);
        FullViewCheck->setChecked(true);
    }
    Render(true);
}

void TParserMain::Reload1Click() {
    BeforeReopen();
    document_.Reload();
    Render(true);
}

void TParserMain::Button1Click() {
    document_.Button1Click(OffsetEdit->text().toStdString(), SizeEdit->text().toStdString());
    Render(false);
    if (const auto& message = document_.MessageBox())
        QMessageBox::critical(this, QStringLiteral("Kestrova"), Q(*message));
}

void TParserMain::HelpAbout1Execute() {
    if (!aboutBox_) return;
    aboutBox_->Version_Label->setText(QStringLiteral("Ver. ") + QLatin1String(kVersionText));
    aboutBox_->exec();
}

void TParserMain::FullView1Toggled(bool full) {
    {
        const QSignalBlocker quiet(FullViewCheck);
        FullViewCheck->setChecked(full);
    }
    const ViewKind view = full ? ViewKind::Full : ViewKind::Classic;
    if (document_.View() == view) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    BeforeReopen();
    document_.SetView(view);
    Render(true);
    // The box the user was looking at, when the other view has it too; else the root, as after an open.
    const std::int64_t clicked = document_.ClickedNode();
    const QModelIndex node = clicked > 0 ? treeModel_->IndexOfNode(clicked) : QModelIndex();
    if (node.isValid()) {
        TreeView1->setCurrentIndex(node);
        TreeView1->scrollTo(node);
    }
    UpdateNavigationActions();
    QApplication::restoreOverrideCursor();
}

void TParserMain::TreeView1Click() {
    const QModelIndexList selected = TreeView1->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    document_.TreeView1Click(NodeTreeModel::NodeOf(selected.front()));
    if (document_.ClickedNode() >= 0) history_.Visit(static_cast<std::int32_t>(document_.ClickedNode()));
    Render(false);
    QApplication::restoreOverrideCursor();
}

void TParserMain::SelectDescriptionLine(std::int64_t line) {
    document_.SelectLine(line);
    Render(false);
    // The line stays current even when it shows no bytes, so that the arrow keys go on from it.
    BOX_Description->SetCurrentLine(line);
    ScrollToHighlight();
}

void TParserMain::ClickFileInfo(std::int64_t line, int character) {
    const auto& rows = document_.FileInfoPane().Lines();
    std::optional<std::uint64_t> byte;
    if (document_.Dump() && line >= 0 && static_cast<std::size_t>(line) < rows.size() && character >= 0)
        byte = HexRowByteAt(rows[static_cast<std::size_t>(line)], static_cast<std::size_t>(character));
    // A click beside the bytes puts the light out.
    if (byte) document_.SelectByte(*byte);
    else document_.SelectLine(-1);
    Render(false);
    if (const auto& selected = document_.SelectedLine()) BOX_Description->ScrollToLine(*selected);
}

void TParserMain::ScrollToHighlight() {
    const auto& lit = document_.Highlight();
    const auto& dump = document_.Dump();
    if (!lit || !dump) return;
    const std::uint64_t first = std::max(lit->offset, dump->offset);
    const std::optional<std::int64_t> line = document_.DumpLineOf(first);
    if (!line) return;
    const std::optional<HexRowLayout> row =
        ParseHexRow(document_.FileInfoPane().Lines()[static_cast<std::size_t>(*line)]);
    FILEInfo->ScrollToLine(*line, row ? static_cast<int>(row->HexAt(static_cast<unsigned>(first & 15))) : 0);
}

void TParserMain::Render(bool treeChanged) {
    setWindowTitle(Q(document_.Caption()));
    StatusText->setText(Q(document_.StatusText()));
    const int offsetLimit = static_cast<int>(document_.OffsetEditMaxLength());
    if (OffsetEdit->TypingLimit() != offsetLimit) {
        // Sixteen digits reach past 4 GiB; the entry widens to show them.
        OffsetEdit->SetTypingLimit(offsetLimit);
        OffsetEdit->setFixedWidth(offsetLimit > static_cast<int>(kOffsetEditMaxLength) ? 136 : 72);
    }
    const QString offset = Q(document_.OffsetEditText());
    if (OffsetEdit->text() != offset) OffsetEdit->SetProgramText(offset);
    const QString size = Q(document_.SizeEditText());
    if (SizeEdit->text() != size) SizeEdit->SetProgramText(size);
    Reload1->setEnabled(document_.ReloadEnabled());
    StreamGraph1->setEnabled(HasSampleTables(document_));
    BOX_Description->Refresh();
    FILEInfo->Refresh();
    BOX_Description->SetCurrentLine(document_.SelectedLine());
    FILEInfo->viewport()->update();
    if (treeChanged) {
        index_ = NodeIndex(document_);
        FindBar1->Attach(&document_, &index_);
        treeModel_->Rebuild(&document_.Tree());
        TreeView1->expandAll();
        const QModelIndex root = treeModel_->IndexOfNode(0);
        if (root.isValid()) TreeView1->setCurrentIndex(root);
        TreeView1->scrollToTop();
        // An open graph follows the file.
        if (graphWindow_ && graphWindow_->isVisible()) {
            if (HasSampleTables(document_)) ShowGraphWindow(false);
            else graphWindow_->close();
        }
    }
    UpdatePicture(treeChanged);
    UpdateEditActions();
    UpdateNavigationActions();
}

void TParserMain::UpdatePicture(bool treeChanged) {
    if (treeChanged) {
        // Another file, or the same one read again: nothing shown before stands.
        PictureView1->ShowSource(QString(), std::nullopt);
        pictureNode_ = -1;
    }
    if (document_.ClickedNode() == pictureNode_) return;
    pictureNode_ = document_.ClickedNode();
    PictureView1->ShowSource(Q(document_.FilePath()), PictureOfSelection(document_));
}

void TParserMain::StreamGraph1Execute() { ShowGraphWindow(true); }

void TParserMain::ShowGraphWindow(bool bringForward) {
    if (!HasSampleTables(document_)) return;
    std::optional<SampleList> list = BuildDocumentSampleList(document_);
    if (!list) return;
    if (!graphWindow_) {
        graphWindow_ = new StreamGraphWindow(this);
        graphWindow_->setWindowFlag(Qt::Window);
        graphWindow_->OnSampleActivated = [this](const SampleTrack& t, const Sample& s) { ShowSampleSource(t, s); };
    }
    graphWindow_->SetSamples(std::move(*list), Q(document_.FileName()), document_.Avi() != nullptr);
    graphWindow_->show();
    if (!bringForward) return;
    graphWindow_->raise();
    graphWindow_->activateWindow();
}

void TParserMain::ShowSampleSource(const SampleTrack& track, const Sample& sample) {
    if (track.tableNode < 0) return;
    const std::int64_t line = ClickSampleSource(document_, track, sample);
    history_.Visit(static_cast<std::int32_t>(track.tableNode));
    Render(false);
    const QModelIndex node = treeModel_->IndexOfNode(track.tableNode);
    if (node.isValid()) {
        TreeView1->setCurrentIndex(node);
        TreeView1->scrollTo(node);
    }
    if (line >= 0) {
        BOX_Description->ScrollToLine(line);
        ScrollToHighlight();
    }
    raise();
    activateWindow();
}

QWidget* TParserMain::FocusedTextControl() const {
    QWidget* focused = QApplication::focusWidget();
    if (focused == OffsetEdit || focused == SizeEdit || focused == BOX_Description || focused == FILEInfo)
        return focused;
    return nullptr;
}

void TParserMain::UpdateEditActions() {
    bool cut = false, copy = false, paste = false;
    QWidget* focused = FocusedTextControl();
    if (auto* entry = qobject_cast<HexEntry*>(focused)) {
        copy = entry->hasSelectedText();
        cut = copy && !entry->isReadOnly();
        paste = !entry->isReadOnly() && !QApplication::clipboard()->text().isEmpty();
    } else if (auto* pane = qobject_cast<LinePane*>(focused)) {
        copy = pane->CanCopy();
    }
    EditCut1->setEnabled(cut);
    EditCopy1->setEnabled(copy);
    EditPaste1->setEnabled(paste);
}

void TParserMain::BeforeReopen() {
    FindBar1->Reset();
    history_.Clear();
    samples_.reset();
}

void TParserMain::UpdateNavigationActions() {
    const bool open = index_.Count() > 1 || (document_.ReloadEnabled() && document_.FileSize() > 0);
    GoBack1->setEnabled(history_.CanGoBack());
    GoForward1->setEnabled(history_.CanGoForward());
    EditCopyPath1->setEnabled(document_.ClickedNode() > 0);
    FileExportDescription1->setEnabled(open && !document_.BoxDescriptionPane().Lines().empty());
    FileExportJson1->setEnabled(open);
}

void TParserMain::ShowTreeNode(std::int64_t node) {
    const QModelIndex index = treeModel_->IndexOfNode(node);
    if (!index.isValid()) return;
    TreeView1->setCurrentIndex(index);
    TreeView1->scrollTo(index);
}

void TParserMain::SelectNode(std::int32_t node) {
    if (node < 0 || static_cast<std::size_t>(node) >= document_.Tree().Count()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ShowTreeNode(node);
    document_.TreeView1Click(node);
    history_.Visit(node);
    Render(false);
    QApplication::restoreOverrideCursor();
}

void TParserMain::GoToByte(std::int32_t node, std::uint64_t byte) {
    if (node < 0 || static_cast<std::size_t>(node) >= document_.Tree().Count()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ShowTreeNode(node);
    document_.GoToByte(node, byte);
    history_.Visit(node);
    Render(false);
    if (const auto& selected = document_.SelectedLine()) BOX_Description->ScrollToLine(*selected);
    ScrollToHighlight();
    if (HasSampleTables(document_)) {
        if (!samples_) {
            std::optional<SampleList> list = BuildDocumentSampleList(document_);
            samples_ = std::make_unique<SampleList>(list ? std::move(*list) : SampleList{});
        }
        const std::string sample = SampleAtByteText(*samples_, byte, document_.Settings());
        if (!sample.empty()) StatusText->setText(Q(document_.StatusText() + " - 0x" + UpperHexText(byte) + ": " + sample));
    }
    QApplication::restoreOverrideCursor();
}

void TParserMain::GoBack() {
    if (const std::optional<std::int32_t> node = history_.Back()) SelectNode(*node);
    UpdateNavigationActions();
}

void TParserMain::GoForward() {
    if (const std::optional<std::int32_t> node = history_.Forward()) SelectNode(*node);
    UpdateNavigationActions();
}

void TParserMain::CopyBoxPath() {
    const std::int64_t node = document_.ClickedNode();
    if (node <= 0 || static_cast<std::size_t>(node) >= index_.Count()) return;
    QApplication::clipboard()->setText(Q(index_.PathOf(static_cast<std::int32_t>(node))));
}

bool TParserMain::ExportDescription(const QString& path) {
    std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary);
    for (const std::string& line : document_.BoxDescriptionPane().Lines()) out << line << '\n';
    out.flush();
    if (out) return true;
    QMessageBox::critical(this, QStringLiteral("Kestrova"), QStringLiteral("Cannot write ") + path);
    return false;
}

bool TParserMain::ExportAllJson(const QString& path) {
    if (document_.FilePath().empty()) return false;
    // A document of its own clicks every node, so the window keeps what it shows.
    Document all(document_.Settings());
    all.SetView(document_.View());
    all.SetDialogFileName(document_.FilePath());
    const std::string fileName = QFile::encodeName(path).toStdString();
    std::ofstream out(fileName, std::ios::binary);
    bool ok = static_cast<bool>(out);
    if (ok) {
        JsonStateWriter writer(out, document_.FilePath());
        const DumpCommand open{DumpCommand::Kind::Open};
        RunDumpCommand(all, open);
        writer.Add(all, open);
        const std::size_t count = all.Tree().Count();
        QProgressDialog progress(QStringLiteral("Exporting every box..."), QStringLiteral("Cancel"), 0,
                                 static_cast<int>(std::min<std::size_t>(count, INT32_MAX)), this);
        progress.setObjectName(QStringLiteral("ExportProgress"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(300);
        for (std::size_t i = 0; i < count && ok; ++i) {
            if ((i & 63) == 0) {
                progress.setValue(static_cast<int>(i));
                if (progress.wasCanceled()) ok = false;
            }
            const DumpCommand click{DumpCommand::Kind::Click, static_cast<std::int64_t>(i)};
            RunDumpCommand(all, click);
            writer.Add(all, click);
            ok = ok && static_cast<bool>(out);
        }
        if (ok) writer.Finish(all);
        progress.setValue(progress.maximum());
        out.flush();
        const bool cancelled = progress.wasCanceled();
        ok = ok && static_cast<bool>(out);
        out.close();
        if (!ok) {
            std::remove(fileName.c_str());
            if (cancelled) return false;
        }
    }
    if (!ok) QMessageBox::critical(this, QStringLiteral("Kestrova"), QStringLiteral("Cannot write ") + path);
    return ok;
}

bool TParserMain::SavePicture(const QString& path) {
    if (!PictureView1->HasPicture()) return false;
    if (PictureView1->Save(path)) return true;
    QMessageBox::critical(this, QStringLiteral("Kestrova"), QStringLiteral("Cannot write ") + path);
    return false;
}

bool TParserMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const auto button = static_cast<QMouseEvent*>(event)->button();
        if (widget && widget->window() == this && (button == Qt::BackButton || button == Qt::ForwardButton)) {
            if (button == Qt::BackButton) GoBack();
            else GoForward();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TParserMain::keyPressEvent(QKeyEvent* event) {
    // Esc stops a text search from anywhere in the window.
    if (event->key() == Qt::Key_Escape && FindBar1->Searching()) {
        FindBar1->Stop();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TParserMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFileUrls(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TParserMain::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalFileUrls(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TParserMain::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = LocalFileUrls(event->mimeData());
    if (urls.isEmpty()) return;
    QStringList paths;
    for (const QUrl& url : urls) paths.push_back(url.toLocalFile());
    event->acceptProposedAction();
    DropFiles(paths);
}

}  // namespace kestrova
