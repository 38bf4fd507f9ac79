// MacFlds, "Automatic Field Selection Setup": the window over the live field-selection settings.
// Every control writes its value into those settings as it changes, so the scan path always reads
// what the dialog shows; OK writes the file, Cancel puts back what was shown at opening.
#pragma once

#include "fieldsel/field_selection_setup.h"

#include <QDialog>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTabWidget;

namespace quorlan::fieldsel {

class TableDrawing;

class MacFlds final : public QDialog {
    Q_OBJECT
public:
    explicit MacFlds(FieldSelectionSetup& setup, QWidget* parent = nullptr);

    // Enables or greys the trigger editor and redraws the layout display.
    void PlaceText();

public slots:
    // Cancel, Escape and the window's close button.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using TextField = std::function<std::string&(FieldSelectionSettings&)>;
    struct TextBox {
        QLineEdit* box;
        int typingLimit; // 0: none
        TextField field;
    };

    QWidget* buildAutoSelectPage();
    QGroupBox* buildTriggerEditor();
    QWidget* buildStandardPage();
    QWidget* buildFrontAndBackPage();
    QWidget* buildLimitsPage();
    TableDrawing* buildDrawing(std::initializer_list<const char*> codes, bool halves, bool rows);
    void buildButtons();
    QRadioButton* addOption(QGroupBox& frame, const char* name, const char* caption, std::function<void()> chosen);
    QLineEdit* addTextBox(const QString& name, int typingLimit, TextField field);
    QLineEdit* addSlotBox(const std::string& code);
    QCheckBox* addSlotCheck(const std::string& code);

    void confirm();
    void tabChanged(int index);
    void setAllOnTab(bool enabled);
    void showSettings();
    void showSlotFlags();
    void showEditor();
    void centreOnScreen();

    FieldSelectionSetup& m_setup;
    std::vector<TextBox> m_textBoxes;
    std::vector<std::pair<std::string, QCheckBox*>> m_checks;
    QTabWidget* m_ssTab = nullptr;
    QPushButton* m_btnSA = nullptr;
    QPushButton* m_btnCA = nullptr;
    QRadioButton* m_mPName = nullptr;
    QRadioButton* m_mCmt = nullptr;
    QRadioButton* m_mBC = nullptr;
    QRadioButton* m_mSel = nullptr;
    QRadioButton* m_nmSel = nullptr;
    QGroupBox* m_frameTSet = nullptr;
    QLineEdit* m_mSpec = nullptr;
    QScrollBar* m_posScroll = nullptr;
    QRadioButton* m_optAlnL = nullptr;
    QRadioButton* m_optAlnR = nullptr;
    QLabel* m_labDispStr = nullptr;
    QLabel* m_posDispLeft = nullptr;
    QLabel* m_posDispRight = nullptr;
};

} // namespace quorlan::fieldsel
