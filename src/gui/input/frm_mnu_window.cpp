#include "gui/input/frm_mnu_window.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/widgets/caption_button.h"
#include "gui/widgets/pictures.h"
#include "gui/widgets/prompt.h"
#include "gui/widgets/window_key.h"
#include "gui/widgets/window_layout.h"
#include "input/paste_reader.h"
#include "study/grouped_data.h"

namespace kijunchi {

namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QPushButton* pictureButton(const QString& caption, pictures::ButtonPicture picture,
                           QWidget* parent) {
    return new CaptionButton(pictures::buttonPicture(picture), caption, parent);
}

void lightBackground(QLabel* label) {
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor(255, 255, 225));
    label->setPalette(palette);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
}

// The widest cell text the grid makes room for: a value with 15 significant digits.
constexpr const char* kWidestCell = "-2.30258509299405";

}  // namespace

frmMnu::frmMnu(AnalysisStore& store, Prompt& prompt, QString& pasteText, QWidget* parent)
    : QWidget(parent), store_(store), prompt_(prompt), pasteText_(pasteText) {
    setWindowTitle(QStringLiteral("入力画面"));
    setWindowIcon(QIcon(pictures::toolbarPicture(2)));
    resize(sizeHint());

    // The controls sit on a page of the designed size: a smaller window scrolls the page, a
    // larger one stretches it, and the grid takes the extra room.
    content_ = new QWidget;
    content_->setMinimumSize(sizeHint());
    scroll_ = setScrollingPage(*this, content_);
    scroll_->setObjectName(QStringLiteral("scrollArea"));
    content_->installEventFilter(this);

    buildControls();
    buildMenus();
    load();
    bindWindowKey(*this, QKeySequence(Qt::CTRL | Qt::Key_V), [this] { pasteCommand(); });
}

QSize frmMnu::sizeHint() const {
    return twipsSize(7275, 6900);
}

void frmMnu::buildControls() {
    MSFlexGrid1 = new QTableWidget(kRows - 1, kCols - 1, content_);
    MSFlexGrid1->setGeometry(twipsRect(1680, 120, 5250, 2775));
    MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSFlexGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    MSFlexGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MSFlexGrid1->setWordWrap(false);
    MSFlexGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    MSFlexGrid1->horizontalHeader()->setHighlightSections(false);
    MSFlexGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    MSFlexGrid1->verticalHeader()->setHighlightSections(false);
    MSFlexGrid1->verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Command2 = pictureButton(QStringLiteral("張り付け"), pictures::ButtonPicture::Paste, content_);
    Command2->setGeometry(twipsRect(240, 120, 1095, 615));
    Command1 = pictureButton(QStringLiteral("新規作成"), pictures::ButtonPicture::New, content_);
    Command1->setGeometry(twipsRect(240, 720, 1095, 615));
    Command5 =
        pictureButton(QStringLiteral("解析(ﾋｽﾄｸﾞﾗﾑ)"), pictures::ButtonPicture::Analysis, content_);
    Command5->setGeometry(twipsRect(240, 1560, 1095, 855));

    Label7 = new QLabel(QStringLiteral("ﾋｽﾄｸﾞﾗﾑの階級数"), content_);
    Label7->move(twips(120), twips(2580));
    Label7->adjustSize();
    Text3 = new QLineEdit(content_);
    Text3->setGeometry(twipsRect(360, 2820, 855, 270));

    Label2 = new QLabel(QStringLiteral("データ数"), content_);
    Label2->move(twips(4920), twips(2940));
    Label2->adjustSize();
    Label4 = new QLabel(content_);
    Label4->setGeometry(twipsRect(5880, 2940, 855, 255));
    Label4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lightBackground(Label4);

    Command3 = new CaptionButton(QStringLiteral("修正ベキ変換"), content_);
    Command3->setGeometry(twipsRect(240, 3360, 1215, 495));

    Command6 = new CaptionButton(QStringLiteral("基準範囲の評価"), content_);
    Command6->setGeometry(twipsRect(1560, 3360, 1335, 495));

    Label3 = new QLabel(QStringLiteral("ｺﾒﾝﾄ　"), content_);
    Label3->setGeometry(twipsRect(240, 3960, 1215, 855));
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lightBackground(Label3);

    Frame3 = new QGroupBox(QStringLiteral("ｼﾐｭﾚ-ｼｮﾝ"), content_);
    Frame3->setGeometry(twipsRect(3000, 3360, 2295, 1095));
    Command9 = new CaptionButton(QStringLiteral("正規乱数の発生"), Frame3);
    Command9->setGeometry(twipsRect(120, 360, 975, 495));
    Command4 = new CaptionButton(QStringLiteral("一様乱数の発生"), Frame3);
    Command4->setGeometry(twipsRect(1200, 360, 975, 495));

    Command10 = new CaptionButton(QStringLiteral("終了"), content_);
    Command10->setGeometry(twipsRect(5760, 3960, 1335, 495));

    // Data files come in through this button or by dropping them onto the window.
    Command11 = new CaptionButton(QStringLiteral("ファイルを開く"), content_);
    Command11->setGeometry(twipsRect(1560, 3960, 1335, 495));
    setAcceptDrops(true);

    // The version label wraps after its ideographic space and keeps its right edge inside the
    // window.
    Label1 = new QLabel(QStringLiteral("20260211OvalisD　 βVer.1　"), content_);
    QFont small = Label1->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    Label1->setFont(small);
    Label1->setWordWrap(true);
    Label1->setFixedWidth(
        QFontMetrics(small).horizontalAdvance(QStringLiteral("20260211OvalisD　")));
    Label1->adjustSize();
    Label1->move(std::min(twips(6360), twips(7275 - 90) - Label1->width()), twips(3480));

    Picture1 = new QLabel(content_);
    Picture1->setPixmap(pictures::smallDecoration());
    Picture1->setGeometry(QRect(twips(6360), twips(5160), 39, 29));
    Picture2 = new QLabel(content_);
    Picture2->setPixmap(pictures::largeDecoration());
    Picture2->setGeometry(QRect(twips(1680), twips(4980), 234, 123));

    connect(Command2, &QPushButton::clicked, this, &frmMnu::pasteCommand);
    connect(Command1, &QPushButton::clicked, this, &frmMnu::newCommand);
    connect(Command5, &QPushButton::clicked, this, &frmMnu::analysisRequested);
    connect(Command3, &QPushButton::clicked, this, [this] {
        pasteText_ = Text1.text();
        // The transformation starts from the data set as measured, wherever it came from.
        restoreMeasuredDataSet(store_, *this);
        emit transformRequested();
    });
    connect(Command6, &QPushButton::clicked, this, &frmMnu::evaluationRequested);
    connect(Command9, &QPushButton::clicked, this, &frmMnu::normalGeneratorRequested);
    connect(Command4, &QPushButton::clicked, this, &frmMnu::uniformGeneratorRequested);
    connect(Command10, &QPushButton::clicked, this, &frmMnu::exitRequested);
    connect(Command11, &QPushButton::clicked, this, &frmMnu::openFileRequested);

    addStudyControls();

    const QList<QPair<QWidget*, const char*>> named = {
        {MSFlexGrid1, "MSFlexGrid1"}, {Command2, "Command2"},  {Command1, "Command1"},
        {Command5, "Command5"},       {Command3, "Command3"},  {Command6, "Command6"},
        {Command9, "Command9"},       {Command4, "Command4"},  {Command10, "Command10"},
        {Command11, "Command11"},     {Text3, "Text3"},        {Label1, "Label1"},
        {Label2, "Label2"},           {Label3, "Label3"},      {Label4, "Label4"},
        {Label7, "Label7"},           {Frame3, "Frame3"},      {Picture1, "Picture1"},
        {Picture2, "Picture2"},       {GroupTick, "GroupTick"}};
    for (const auto& [control, name] : named) {
        control->setObjectName(QString::fromLatin1(name));
        if (control->parentWidget() == content_) designed_.append({control, control->geometry()});
    }

    setTabOrder(Command2, Command1);
    setTabOrder(Command1, Command5);
    setTabOrder(Command5, Text3);
    setTabOrder(Text3, Command3);
    setTabOrder(Command3, Command6);
    setTabOrder(Command6, Command9);
    setTabOrder(Command9, Command4);
    setTabOrder(Command4, Command10);
    setTabOrder(Command10, MSFlexGrid1);
}

void frmMnu::buildMenus() {
    M1 = new QMenu(QStringLiteral("ファイル"), this);
    M2 = M1->addAction(QStringLiteral("新規作成"));
    M1->addSeparator();  // sepa
    P1 = M1->addAction(QStringLiteral("プリンターの設定"));
    M1->addSeparator();  // sepa2
    ME = M1->addAction(QStringLiteral("終了"));

    WW1 = new QMenu(QStringLiteral("ウィンドウ(&W)"), this);
    WW2 = WW1->addAction(QStringLiteral("並べて表示"));
    WW3 = WW1->addAction(QStringLiteral("重ねて表示"));
    WW5 = WW1->addAction(QStringLiteral("基準範囲の評価"));

    ww4 = new QAction(QStringLiteral("バージョン情報"), this);
    EN = new QAction(QStringLiteral("終了"), this);

    connect(M2, &QAction::triggered, this, &frmMnu::newCommand);
    connect(P1, &QAction::triggered, this, &frmMnu::printerSetupRequested);
    connect(ME, &QAction::triggered, this, &frmMnu::exitRequested);
    connect(WW2, &QAction::triggered, this, &frmMnu::tileRequested);
    connect(WW3, &QAction::triggered, this, &frmMnu::cascadeRequested);
    connect(WW5, &QAction::triggered, this, &frmMnu::evaluationRequested);
    connect(ww4, &QAction::triggered, this, &frmMnu::versionRequested);
    connect(EN, &QAction::triggered, this, &frmMnu::exitRequested);
}

QString frmMnu::classCountText() const {
    return Text3->text();
}

QList<QAction*> frmMnu::menuBarActions() const {
    if (!StudyMenu) return {M1->menuAction(), WW1->menuAction(), ww4, EN};
    return {M1->menuAction(), WW1->menuAction(), StudyMenu->menuAction(), ww4, EN};
}

void frmMnu::load() {
    // 1. The class count returns to 5.
    store_.ClassCount = 5;
    Text3->setText(QStringLiteral("5"));

    // 2. Grid geometry and headings; the grid starts empty.
    MSFlexGrid1->clearContents();
    MSFlexGrid1->setRowCount(kRows - 1);
    MSFlexGrid1->setColumnCount(kCols - 1);
    MSFlexGrid1->verticalHeader()->setFixedWidth(twips(400));
    designedColumnWidth_ = twips(900);
    for (int c = 0; c < kCols - 1; ++c) MSFlexGrid1->setColumnWidth(c, designedColumnWidth_);
    MSFlexGrid1->horizontalHeader()->setFixedHeight(twips(260));
    MSFlexGrid1->verticalHeader()->setDefaultSectionSize(twips(240));
    MSFlexGrid1->setHorizontalHeaderLabels({QStringLiteral("  1-200 "), QStringLiteral("201-400 "),
                                            QStringLiteral("401-600 "), QStringLiteral("601-800 "),
                                            QStringLiteral("801-1000")});
    QStringList rowNumbers;
    for (int r = 1; r < kRows; ++r) rowNumbers << (r <= 200 ? QString::number(r) : QString());
    MSFlexGrid1->setVerticalHeaderLabels(rowNumbers);
    resetCurrentCell();

    // 3. The paste buffer gets PasteText back, caret at the start.
    Text1.setText(pasteText_);

    // The grid shows the data set the store holds, never an empty grid over hidden data.
    if (store_.WorkCount > 0) showDataSet(store_, *this);
}

bool frmMnu::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content_ && event->type() == QEvent::Resize) fitContent();
    return QWidget::eventFilter(watched, event);
}

void frmMnu::fitContent() {
    // Extra room beyond the designed size goes to the grid: all the extra height, and as much
    // of the extra width as its columns can use. The controls below the grid move down with
    // its bottom edge, those right of its middle move right with its right edge.
    const QSize extra = (content_->size() - sizeHint()).expandedTo(QSize(0, 0));
    const QRect grid = twipsRect(1680, 120, 5250, 2775);
    int columns = 0;
    for (int c = 0; c < kCols - 1; ++c) columns += MSFlexGrid1->columnWidth(c);
    const int needed = MSFlexGrid1->verticalHeader()->width() + columns +
                       MSFlexGrid1->verticalScrollBar()->sizeHint().width() +
                       2 * MSFlexGrid1->frameWidth();
    const int wider = std::clamp(needed - grid.width(), 0, extra.width());
    for (const auto& [control, place] : designed_) {
        if (control == MSFlexGrid1) {
            control->setGeometry(place.adjusted(0, 0, wider, extra.height()));
            continue;
        }
        const int dx = place.left() > grid.center().x() ? wider : 0;
        const int dy = place.top() > grid.bottom() ? extra.height() : 0;
        control->setGeometry(place.translated(dx, dy));
    }
}

void frmMnu::widenColumnFor(int column, const QString& text) {
    // Room for the text with the cell's margins, up to the widest value the grid expects;
    // longer texts are shown whole in the cell's tool tip.
    const QFontMetrics metrics(MSFlexGrid1->font());
    const int margins = 2 * (MSFlexGrid1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 4);
    const int widest = metrics.horizontalAdvance(QLatin1String(kWidestCell)) + margins;
    const int wanted = std::min(widest, metrics.horizontalAdvance(text) + margins);
    if (wanted > MSFlexGrid1->columnWidth(column)) {
        MSFlexGrid1->setColumnWidth(column, wanted);
        fitContent();
    }
}

void frmMnu::putGridValue(int position, std::string_view text) {
    int col = 0;
    if (position >= 0 && position <= 199) {
        col = 1;
    } else if (position >= 200 && position <= 399) {
        col = 2;
    } else if (position >= 400 && position <= 599) {
        col = 3;
    } else if (position >= 600 && position <= 799) {
        col = 4;
    } else if (position >= 800 && position <= 999) {
        col = 5;
    } else {
        return;  // shown nowhere
    }
    int row = position % 200 + 1;
    auto* item = MSFlexGrid1->item(row - 1, col - 1);
    if (!item && text.empty()) return;  // an empty cell stays without an item
    if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        MSFlexGrid1->setItem(row - 1, col - 1, item);
    }
    item->setText(toQString(text));
    item->setToolTip(item->text());
    widenColumnFor(col - 1, item->text());
}

void frmMnu::resetCurrentCell() {
    MSFlexGrid1->setCurrentCell(0, 0);
}

void frmMnu::setCountLabel(std::string_view text) {
    Label4->setText(toQString(text));
    emit dataSetShown();
}

void frmMnu::setCommentLabel(std::string_view text) {
    Label3->setText(toQString(text));
}

QString frmMnu::TextMatrix(int row, int col) const {
    if (row < 0 || row >= kRows || col < 0 || col >= kCols) return {};
    if (row == 0 && col == 0) return {};
    if (row == 0) return MSFlexGrid1->horizontalHeaderItem(col - 1)->text();
    if (col == 0) return MSFlexGrid1->verticalHeaderItem(row - 1)->text();
    const auto* item = MSFlexGrid1->item(row - 1, col - 1);
    return item ? item->text() : QString();
}

int frmMnu::Row() const {
    return MSFlexGrid1->currentRow() + 1;
}

int frmMnu::Col() const {
    return MSFlexGrid1->currentColumn() + 1;
}

void frmMnu::pasteCommand() {
    if (confirmPaste && !confirmPaste()) return;
    if (GroupTick->isChecked()) return pasteWithGroups();
    // The paste buffer keeps what was pasted before: a second paste adds to the data set, and
    // the comment line says so.
    const bool adding = !Text1.text().isEmpty() && store_.DataCount > 0;
    Text1.insert(QGuiApplication::clipboard()->text());
    readPasteBuffer();
    if (adding && store_.DataCount > 0)
        Label3->setText(QStringLiteral("追加しました（計%1個）").arg(store_.DataCount));
    emit pasted();
}

PasteResult frmMnu::replacePasteBuffer(const QString& text) {
    // A new data set: groups of the one before do not carry over, even to the same values.
    store_.GroupLabels.clear();
    store_.GroupedValues.clear();
    setPasteBufferText(text);
    return ReadPasteBuffer(store_, Text1.text().toStdString(), *this);
}

void frmMnu::setPasteBufferText(const QString& text) {
    Text1.setText(QString());
    Text1.insert(text);
    pasteText_ = Text1.text();
}

namespace {

// The first local file among the dropped URLs, empty when there is none.
QString droppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

}  // namespace

void frmMnu::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void frmMnu::dropEvent(QDropEvent* event) {
    const QString file = droppedFile(event->mimeData());
    if (file.isEmpty()) return;
    event->acceptProposedAction();
    emit fileDropped(file);
}

void frmMnu::readPasteBuffer() {
    pasteText_ = Text1.text();
    PasteResult result = ReadPasteBuffer(store_, Text1.text().toStdString(), *this);
    if (const std::string message = readingMessage(result); !message.empty()) {
        prompt_.message(this, QString::fromStdString(message), QStringLiteral("張り付け"),
                        Prompt::Icon::Information);
    }
}

void frmMnu::newCommand() {
    if (confirmNew && !confirmNew()) return;
    Text1.setText(QString());
    for (int r = 0; r < kRows - 1; ++r) {
        for (int c = 0; c < kCols - 1; ++c) {
            if (auto* item = MSFlexGrid1->item(r, c)) {
                item->setText(QString());
                item->setToolTip(QString());
            }
        }
    }
    for (int c = 0; c < kCols - 1; ++c) MSFlexGrid1->setColumnWidth(c, designedColumnWidth_);
    fitContent();
    Label4->setText(QString());
    Label3->setText(QString());
    newDataSet(store_);
    emit dataSetShown();
}

// The tick "グループ列あり" beside the count.
void frmMnu::addStudyControls() {
    GroupTick = new QCheckBox(QStringLiteral("グループ列あり"), content_);
    GroupTick->setGeometry(twipsRect(1680, 2940, 1800, 255));
    GroupTick->setToolTip(QStringLiteral("値とグループの2列（TAB区切り）を張り付けます。"));
}

// The paste of value and group columns with the tick set.
void frmMnu::pasteWithGroups() {
    // Each paste with groups replaces the data set: two columns cannot be appended to the
    // values of the paste buffer. The buffer takes the values, one per line, so that
    // "修正ベキ変換" re-reads them as they are.
    const GroupedPaste result =
        ReadGroupedPaste(store_, QGuiApplication::clipboard()->text().toStdString(), *this);
    setPasteBufferText(QString::fromStdString(result.valuesText));
    emit pasted();
    if (!result.message.empty())
        prompt_.message(this, QString::fromStdString(result.message), QStringLiteral("張り付け"),
                        Prompt::Icon::Information);
}

}  // namespace kijunchi
