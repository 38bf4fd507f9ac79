// frmTest: every operation of the control's Application and ExeList objects on a button, with
// text boxes for arguments and results. It works on the station's own application reference and
// on a list reference of its own. A failing operation is shown with its error number and
// description; the console stays open.
#pragma once

#include "cnc/control.h"
#include "platform/path_mapper.h"
#include "platform/view.h"

#include <QWidget>
#include <functional>
#include <memory>

class QFileDialog;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quorlan::cnc {

class FrmTest final : public QWidget {
    Q_OBJECT
public:
    // application: the station's shared reference, which the console may replace and release.
    // Messages go through view.
    FrmTest(std::shared_ptr<Application>& application, ControlFactory& factory, platform::StationView& view,
            const platform::PathMapper& paths, QWidget* parent = nullptr);

    FrmTest(const FrmTest&) = delete;
    FrmTest& operator=(const FrmTest&) = delete;

protected:
    // Unload: the console's list, then the shared application reference.
    void closeEvent(QCloseEvent* event) override;

private:
    QGroupBox* buildApplicationCommands();
    QGroupBox* buildApplicationQueries();
    QGroupBox* buildListCommands();
    QGroupBox* buildModifyCommands();
    QGroupBox* buildListQueries();

    QPushButton* addButton(QGridLayout& grid, int row, int column, const char* name, const char* caption,
                           std::function<void()> action);
    QLineEdit* addTextBox(QGridLayout& grid, int row, int column, const char* name, int columnSpan = 1);
    void run(const QString& caption, const std::function<void()>& action);
    void browseInto(QLineEdit& target);
    void showResult(const std::string& text);

    Application& application();
    ExeList& list();
    void releaseList();

    std::shared_ptr<Application>& m_application;
    ControlFactory& m_factory;
    platform::StationView& m_view;
    const platform::PathMapper& m_paths;
    std::shared_ptr<ExeList> m_list;

    QFileDialog* m_cmdDlgBrowse = nullptr;
    QString m_browsedFile;
    QLineEdit* m_txtAppLstName = nullptr;
    QLineEdit* m_txtListOpened = nullptr;
    QLineEdit* m_txtListName = nullptr;
    QLineEdit* m_txtExeRow = nullptr;
    QLineEdit* m_txtListInRun = nullptr;
    QLineEdit* m_txtRepetition = nullptr;
    QLineEdit* m_txtColumns = nullptr;
    QLineEdit* m_txtRows = nullptr;
    QListWidget* m_lstListInfo = nullptr;
    QLineEdit* m_txtGetLineNumber = nullptr;
    QLineEdit* m_txtGetLine = nullptr;
    QLineEdit* m_txtSetLineNumber = nullptr;
    QLineEdit* m_txtSetLine = nullptr;
    QLineEdit* m_txtDelLineNumber = nullptr;
    QLineEdit* m_txtAddLine = nullptr;
};

} // namespace quorlan::cnc
