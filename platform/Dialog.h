#pragma once

// CDialog: a dialog window built from a dialog template (platform/DialogTemplate.h).
//
// A dialog is either created as a child window of another window (`Create`) or run as a
// top-level modal dialog (`DoModal`). Either way the controls of its template are created as
// direct children in template order, each carrying its control id in the dynamic property
// "controlId", and then the virtual `OnInitDialog` runs.
//
// Keyboard: every key press (and the ShortcutOverride that precedes it) for a widget inside a
// dialog first goes to `PreTranslateMessage` of each dialog from the widget's innermost dialog
// outwards to its window; the first that returns true swallows the key. Keys that come through
// reach the control; Enter and Esc that no control takes are the dialog's own: Enter presses
// the focused push button, else the template's default push button, else runs `OnOK`; Esc runs
// `OnCancel`. Only a dialog run by `DoModal` ends itself in `OnOK`/`OnCancel`; a child dialog
// never closes itself.

#include "platform/DialogTemplate.h"

#include <QDialog>
#include <QIcon>
#include <QPointer>

#include <unordered_map>

class QKeyEvent;
class QMenuBar;
class QPushButton;

// The property that holds a control's id on its widget.
inline constexpr char kControlIdProperty[] = "controlId";

// The control id of a widget (the "controlId" property), or 0 when it has none.
int ControlIdOf(const QObject* widget);

// The icon resource with the given number (icon 128 is the application icon).
QIcon LoadIconResource(int number);

// Builds a menu bar from menu template `number`; every command action carries its command id
// in QAction::data() (int). Returns nullptr when there is no such template.
QMenuBar* LoadMenuBar(int number, QWidget* parent);

class CDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDialog(int nIDTemplate, QWidget* parent = nullptr);
    ~CDialog() override;

    // Creates the dialog as a borderless child window of `parent` from its template and runs
    // OnInitDialog. Returns false when the template does not exist or it was created before.
    bool Create(QWidget* parent);
    // Builds the dialog as a top-level window from its template and runs OnInitDialog, without
    // showing it or entering a modal loop (DoModal starts with this; tests show windows so).
    bool CreateTopLevel();
    // Builds the dialog as a top-level window, runs OnInitDialog and then the modal loop.
    // Returns the result given to EndDialog (IDOK, IDCANCEL, ...), or -1 without a template.
    int DoModal();
    void EndDialog(int nResult);

    int GetTemplateId() const { return m_nIDTemplate; }
    bool IsCreated() const { return m_bCreated; }
    QWidget* GetDlgItem(int nID) const;
    QString GetDlgItemText(int nID) const;
    void SetDlgItemText(int nID, const QString& text);
    QMenuBar* GetMenu() const { return m_pMenuBar; }
    // After the menu's texts have changed: the bar takes the height its new texts need (a taller
    // script would otherwise push titles into the overflow arrow). The client area starts below
    // it, so the caller lays out its controls again when this returns true (the height changed).
    bool DrawMenuBar();

    // Widens each button, radio button and check box whose text does not fit its template width to
    // the width the text needs, keeping its left edge; one whose text fits again goes back to its
    // template width. The templates were laid out for a narrower Windows face. Run after the
    // controls are made and after every change of their texts (a language switch).
    void FitControlTexts();

    // Window style bits as the template gives them, with any bits added since.
    unsigned GetStyle() const { return m_dwStyle; }
    void ModifyStyle(unsigned remove, unsigned add);

    // The client area: the whole window below the menu bar, if the dialog has one.
    QRect GetClientRect() const;
    int MenuBarHeight() const;

    // Called for every key press aimed at this dialog or a widget inside it, before the widget
    // sees it. Return true to swallow the key.
    virtual bool PreTranslateMessage(QObject* target, QKeyEvent* e);

protected:
    // Runs once the controls exist. The return value says whether the dialog should give the
    // focus to its first control (true) or has set the focus itself (false).
    virtual bool OnInitDialog();
    // Enter without a default button, and the button with id IDOK.
    virtual void OnOK();
    // Esc, and the button with id IDCANCEL.
    virtual void OnCancel();
    // A push button was clicked or a menu command chosen; the default maps IDOK and IDCANCEL
    // to OnOK and OnCancel.
    virtual void OnCommand(int nID);

    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    bool Build(bool asChild);
    void CreateControls(const DialogTemplate& dialogTemplate);
    QWidget* CreateControl(const ControlTemplate& control);
    QPushButton* TemplateDefaultButton() const;
    bool PressEnter();

    int m_nIDTemplate;
    unsigned m_dwStyle = 0;
    bool m_bCreated = false;
    bool m_bModal = false;
    QMenuBar* m_pMenuBar = nullptr;
    int m_nDefaultButtonId = 0;
    // The control last found for each id: a card operation looks its controls up several times, and
    // a scan of every child reading its id property each time was a hot spot of writing cards.
    mutable std::unordered_map<int, QPointer<QWidget>> m_controlById;
};
