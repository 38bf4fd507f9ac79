#include "cnc/qt/test_console.h"

#include "config/configuration.h"
#include "platform/error.h"
#include "platform/qt/cp1252.h"
#include "platform/text.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorlan::cnc {

namespace {

using platform::fromCp1252;
using platform::toCp1252;

const QString kListManagerName = QStringLiteral("Telvanor ");

// The product folder without its trailing backslash: "C:\ZUNT\PRODUCT".
std::string productFolder() {
    std::string folder = config::kProductFolder;
    while (!folder.empty() && folder.back() == '\\') {
        folder.pop_back();
    }
    return folder;
}

// List1.lst in the Lsx folder of the product folder on drive D.
QString sampleListPath() {
    std::string path = productFolder() + "\\Lsx\\List1.lst";
    path.front() = 'D';
    return fromCp1252(path);
}

QString boolText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

std::int32_t lineNumber(const QLineEdit& box) {
    return platform::strictLong(toCp1252(box.text()));
}

QGroupBox* addFrame(QWidget& parent, const char* name, const QString& caption) {
    auto* frame = new QGroupBox(caption, &parent);
    frame->setObjectName(QString::fromLatin1(name));
    return frame;
}

// One of the control's objects: its commands ("Metod") above its queries ("Property").
QGroupBox* addObjectFrame(QWidget& parent, const char* name, const QString& caption, QGroupBox* commands,
                          QGroupBox* queries) {
    QGroupBox* frame = addFrame(parent, name, caption);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(commands);
    layout->addWidget(queries);
    layout->addStretch();
    return frame;
}

QLabel* addLabel(QGridLayout& grid, int row, int column, int columnSpan, const char* name, const QString& text) {
    auto* label = new QLabel(text, grid.parentWidget());
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    grid.addWidget(label, row, column, 1, columnSpan);
    return label;
}

} // namespace

FrmTest::FrmTest(std::shared_ptr<Application>& application, ControlFactory& factory, platform::StationView& view,
                 const platform::PathMapper& paths, QWidget* parent)
    : QWidget(parent, Qt::Window), m_application(application), m_factory(factory), m_view(view), m_paths(paths) {
    setObjectName(QStringLiteral("frmTest"));
    setWindowTitle(kListManagerName + QStringLiteral("TEST"));
    // A console beside the station: closing it does not end the station, closing the station ends both.
    setAttribute(Qt::WA_QuitOnClose, false);

    m_cmdDlgBrowse = new QFileDialog(this);
    m_cmdDlgBrowse->setObjectName(QStringLiteral("cmdDlgBrowse"));
    m_cmdDlgBrowse->setAcceptMode(QFileDialog::AcceptOpen);
    m_cmdDlgBrowse->setDefaultSuffix(QStringLiteral("lst"));

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(addObjectFrame(*this, "fraApplication", QStringLiteral("Telvanor.Application"),
                                     buildApplicationCommands(), buildApplicationQueries()));
    layout->addWidget(addObjectFrame(*this, "fraExeList", QStringLiteral("Telvanor.ExeList"), buildListCommands(),
                                     buildListQueries()));
    m_txtAppLstName->setText(sampleListPath());
    m_txtListName->setText(sampleListPath());
}

QPushButton* FrmTest::addButton(QGridLayout& grid, int row, int column, const char* name, const char* caption,
                                std::function<void()> action) {
    auto* button = new QPushButton(QString::fromLatin1(caption), grid.parentWidget());
    button->setObjectName(QString::fromLatin1(name));
    grid.addWidget(button, row, column);
    connect(button, &QPushButton::clicked, this,
            [this, caption = button->text(), action = std::move(action)] { run(caption, action); });
    return button;
}

QLineEdit* FrmTest::addTextBox(QGridLayout& grid, int row, int column, const char* name, int columnSpan) {
    auto* box = new QLineEdit(grid.parentWidget());
    box->setObjectName(QString::fromLatin1(name));
    grid.addWidget(box, row, column, 1, columnSpan);
    return box;
}

// The control's objects raise their failures; the console reports them and stays open.
void FrmTest::run(const QString& caption, const std::function<void()>& action) {
    try {
        action();
    } catch (const platform::StationError& error) {
        m_view.message(toCp1252(caption) + " failed with error " + std::to_string(error.number()) + ": " +
                           error.description(),
                       platform::MessageIcon::Critical);
    } catch (const std::exception& error) {
        m_view.message(toCp1252(caption) + " failed: " + error.what(), platform::MessageIcon::Critical);
    }
}

void FrmTest::showResult(const std::string& text) {
    m_view.message(text, platform::MessageIcon::None);
}

Application& FrmTest::application() {
    if (!m_application) {
        throw platform::StationError(platform::errc::kObjectNotSet);
    }
    return *m_application;
}

ExeList& FrmTest::list() {
    if (!m_list) {
        throw platform::StationError(platform::errc::kObjectNotSet);
    }
    return *m_list;
}

void FrmTest::releaseList() {
    m_list.reset();
}

// As the common dialog did: a cancelled dialog still hands over its file name, which is empty or
// the file picked the time before.
void FrmTest::browseInto(QLineEdit& target) {
    m_cmdDlgBrowse->setDirectory(
        QFile::decodeName(QByteArray::fromStdString(m_paths.toLocal(productFolder() + "\\Lsx"))));
    if (m_cmdDlgBrowse->exec() == QDialog::Accepted && !m_cmdDlgBrowse->selectedFiles().isEmpty()) {
        m_browsedFile = m_cmdDlgBrowse->selectedFiles().constFirst();
    }
    target.setText(m_browsedFile);
}

QGroupBox* FrmTest::buildApplicationCommands() {
    QGroupBox* frame = addFrame(*this, "fraAppMetod", QStringLiteral("Metod"));
    auto* grid = new QGridLayout(frame);
    addButton(*grid, 0, 0, "cmdAppInit", "App Init", [this] { m_application = m_factory.createApplication(); });
    addButton(*grid, 0, 1, "cmdAppTerminate", "App Terminate", [this] { m_application.reset(); });
    addButton(*grid, 0, 2, "cmdAppQuit", "Quit", [this] {
        application().Quit(true);
        releaseList();
        m_application.reset();
    });
    addButton(*grid, 1, 0, "cmdAppNormal", "Normal", [this] { application().SetWindowState(0); });
    addButton(*grid, 1, 1, "cmdAppMinimize", "Minimize", [this] { application().SetWindowState(1); });
    addButton(*grid, 1, 2, "cmdAppMax", "Maximize", [this] { application().SetWindowState(2); });
    addButton(*grid, 2, 0, "cmdNewList", "New List", [this] { m_list = application().NewList(); });
    addButton(*grid, 2, 1, "cmdSetp", "Setpoint", [this] { application().Setpoint(); });
    addButton(*grid, 3, 0, "cmdStartList", "Start", [this] { application().StartList(); });
    addButton(*grid, 3, 1, "cmdHoldList", "Hold", [this] { application().HoldList(); });
    addButton(*grid, 3, 2, "cmdListEnd", "End", [this] { application().EndList(); });
    addButton(*grid, 4, 0, "cmdEnableNewList", "Enable New", [this] { application().EnableNewList(true); });
    addButton(*grid, 4, 1, "cmdDisableNewList", "Disable New", [this] { application().EnableNewList(false); });
    addButton(*grid, 5, 0, "cmdEnableSaveList", "Enable Save", [this] { application().EnableSaveList(true); });
    addButton(*grid, 5, 1, "cmdDisableSaveList", "Disable Save", [this] { application().EnableSaveList(false); });
    addButton(*grid, 6, 0, "cmdEnableOpenList", "Enable Open", [this] { application().EnableOpenList(true); });
    addButton(*grid, 6, 1, "cmdDisableOpenList", "Disable Open", [this] { application().EnableOpenList(false); });
    addButton(*grid, 7, 0, "cmdShowOnTop", "ShowOnTop=True", [this] { application().ShowOnTop(true); });
    addButton(*grid, 7, 1, "cmdShowNoOnTop", "ShowOnTop=False", [this] { application().ShowOnTop(false); });
    addLabel(*grid, 8, 0, 3, "lblAppLstName", QStringLiteral("Specify the name of the list"));
    m_txtAppLstName = addTextBox(*grid, 9, 0, "txtAppLstName", 2);
    addButton(*grid, 9, 2, "cmdListBrowse", "...", [this] { browseInto(*m_txtAppLstName); });
    addButton(*grid, 10, 0, "cmdAppOpenLst", "Open List",
              [this] { m_list = application().OpenList(toCp1252(m_txtAppLstName->text())); });
    return frame;
}

QGroupBox* FrmTest::buildApplicationQueries() {
    QGroupBox* frame = addFrame(*this, "fraAppProperty", QStringLiteral("Property"));
    auto* grid = new QGridLayout(frame);
    addButton(*grid, 0, 0, "cmdAppVisible", "Visible/Invisible", [this] {
        Application& app = application();
        app.SetVisible(!app.Visible());
    });
    addButton(*grid, 0, 1, "cmdAppConnected", "Connected?",
              [this] { showResult(toCp1252(boolText(application().Connected()))); });
    addButton(*grid, 1, 0, "cmdAppAccessLevel", "Password?",
              [this] { showResult(std::to_string(application().AccessLevel())); });
    addButton(*grid, 2, 0, "cmdListOpened", "List Opened?",
              [this] { m_txtListOpened->setText(QString::number(application().ListOpened())); });
    m_txtListOpened = addTextBox(*grid, 2, 1, "txtListOpened");
    return frame;
}

QGroupBox* FrmTest::buildListCommands() {
    QGroupBox* frame = addFrame(*this, "fraListMetod", QStringLiteral("Metod"));
    auto* grid = new QGridLayout(frame);
    addButton(*grid, 0, 0, "cmdInit", "List Init", [this] { m_list = application().NewList(); });
    addButton(*grid, 0, 1, "cmdTerminate", "List Terminate", [this] { releaseList(); });
    addButton(*grid, 0, 2, "cmdListClose", "List Close", [this] {
        list().CloseList(true);
        releaseList();
    });
    addButton(*grid, 1, 0, "cmdClearList", "Clear List", [this] { list().Clear(); });
    addButton(*grid, 1, 1, "cmdViewWorks", "View Works", [this] { list().ViewWorks(); });
    addButton(*grid, 1, 2, "cmdViewWorksThrought", "View Works Throught", [this] { list().ViewWorksThrought(); });
    m_txtListName = addTextBox(*grid, 2, 0, "txtListName", 2);
    addButton(*grid, 2, 2, "cmdListAppendBrowse", "...", [this] { browseInto(*m_txtListName); });
    addButton(*grid, 3, 0, "cmdAppendList", "Append List",
              [this] { list().AppendList(toCp1252(m_txtListName->text())); });
    grid->addWidget(buildModifyCommands(), 4, 0, 1, 3);
    return frame;
}

QGroupBox* FrmTest::buildModifyCommands() {
    QGroupBox* frame = addFrame(*this, "fraModifyCommands", kListManagerName + QStringLiteral("Modification Commands"));
    auto* grid = new QGridLayout(frame);
    addButton(*grid, 0, 0, "cmdGetLine", "Get Line", [this] {
        m_txtGetLine->setText(fromCp1252(list().GetLine(lineNumber(*m_txtGetLineNumber))));
        m_txtGetLine->setCursorPosition(0); // a line reads from its program name on
    });
    m_txtGetLineNumber = addTextBox(*grid, 0, 1, "txtGetLineNumber");
    m_txtGetLine = addTextBox(*grid, 0, 2, "txtGetLine");
    addLabel(*grid, 1, 1, 2, "lblSetLineNumber", QStringLiteral("Specify the number of the line to modify."));
    addButton(*grid, 2, 0, "cmdSetLine", "Set Line",
              [this] { list().SetLine(lineNumber(*m_txtSetLineNumber), toCp1252(m_txtSetLine->text())); });
    m_txtSetLineNumber = addTextBox(*grid, 2, 1, "txtSetLineNumber");
    m_txtSetLine = addTextBox(*grid, 2, 2, "txtSetLine");
    addLabel(*grid, 3, 1, 2, "lblDelLineNumber", QStringLiteral("Specify the number of the line to delete."));
    addButton(*grid, 4, 0, "cmdDelLine", "Del Line", [this] { list().DelLine(lineNumber(*m_txtDelLineNumber)); });
    m_txtDelLineNumber = addTextBox(*grid, 4, 1, "txtDelLineNumber");
    addButton(*grid, 5, 0, "cmdAddLine", "Add Line", [this] { list().AddLine(toCp1252(m_txtAddLine->text())); });
    m_txtAddLine = addTextBox(*grid, 5, 1, "txtAddLine", 2);
    addLabel(*grid, 6, 0, 3, "lblFieldSeparator",
             QStringLiteral("The fields of a line are separated by \";\", as in:"));
    addLabel(*grid, 7, 0, 3, "lblLineExample", QStringLiteral("#161=forpunte.CNC;#168=600;#169=600;#170=20"));
    grid->setColumnStretch(2, 1);
    return frame;
}

QGroupBox* FrmTest::buildListQueries() {
    QGroupBox* frame = addFrame(*this, "fraListProperty", QStringLiteral("Property"));
    auto* grid = new QGridLayout(frame);
    addButton(*grid, 0, 0, "cmdListVisible", "Visible/Invisible", [this] {
        ExeList& workList = list();
        workList.SetVisible(!workList.Visible());
    });
    addButton(*grid, 1, 0, "cmdExeRow", "Exe Row?", [this] { m_txtExeRow->setText(QString::number(list().ExeRow())); });
    m_txtExeRow = addTextBox(*grid, 1, 1, "txtExeRow");
    addButton(*grid, 2, 0, "cmdListInRun", "List In Run?",
              [this] { m_txtListInRun->setText(boolText(list().ListInRun())); });
    m_txtListInRun = addTextBox(*grid, 2, 1, "txtListInRun");
    addButton(*grid, 3, 0, "cmdNumRep", "Num Repetition?",
              [this] { m_txtRepetition->setText(QString::number(list().RepetitionCount())); });
    m_txtRepetition = addTextBox(*grid, 3, 1, "txtRepetition");
    addButton(*grid, 4, 0, "cmdCols", "Num Columns?",
              [this] { m_txtColumns->setText(QString::number(list().Columns())); });
    m_txtColumns = addTextBox(*grid, 4, 1, "txtColumns");
    addButton(*grid, 5, 0, "cmdRows", "Num Rows?", [this] { m_txtRows->setText(QString::number(list().Rows())); });
    m_txtRows = addTextBox(*grid, 5, 1, "txtRows");
    // Appended, never emptied first: each press adds the columns once more.
    addButton(*grid, 6, 0, "cmdColInfo", "Column Info", [this] {
        for (const std::string& column : list().ColumnInfo()) {
            m_lstListInfo->addItem(fromCp1252(column));
        }
    });
    m_lstListInfo = new QListWidget(frame);
    m_lstListInfo->setObjectName(QStringLiteral("lstListInfo"));
    grid->addWidget(m_lstListInfo, 6, 1, 3, 1);
    return frame;
}

void FrmTest::closeEvent(QCloseEvent* event) {
    releaseList();
    m_application.reset();
    event->accept();
}

} // namespace quorlan::cnc
