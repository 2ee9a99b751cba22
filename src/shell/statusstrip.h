#pragma once
#include "app/app.h"
#include "render/preflight.h"

#include <QAbstractButton>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class LampText;
class QHBoxLayout;
class VKTextLine;

// What the editor status runs its print check with, and how it defers the message's clearing
// (by default a timer with the view as context).
struct EditorStatusHooks {
    using Preflight = std::function<QList<LWExport::Issue>(const LWDocument &)>;
    // Never waits for a picture; foresees the JPEG and PNG export as the export sheet is set.
    Preflight preflight = [](const LWDocument &doc) { return LWExport::preflightSoon(doc); };
    int checkDelayMs = 150;
    LWApp::Defer defer;
};

// The left of the status strip while a design is open: the file's name, the print check (a lamp
// and a count; a click asks for the preflight sheet) and the editor's message in amber. The check
// runs at construction and then once the design has stopped changing for `checkDelayMs`. Each new
// message text is cleared `messageMs` later unless another text replaced it meanwhile; the same
// text set again does not prolong it. Main thread only.
class EditorStatus : public QWidget {
    Q_OBJECT
public:
    using Preflight = EditorStatusHooks::Preflight;
    using Hooks = EditorStatusHooks;
    static constexpr int messageMs = 4000;
    static inline const QString notSaved = QStringLiteral("Not saved yet");

    EditorStatus(LWEditor &editor, LWApp &app, Hooks hooks = {}, QWidget *parent = nullptr);

    LWEditor *editor() const { return m_editor; }
    VKTextLine *fileName() const { return m_file; }
    QAbstractButton *printCheck() const { return m_check; }
    LampText *printCheckFace() const { return m_checkFace; }
    VKTextLine *messageText() const { return m_message; }
    // "Print check: ready", or "Print check: N to review" for N findings of warning or above;
    // "Print check: checking pictures…" while none is found and pictures are being checked.
    [[nodiscard]] static QString checkText(qsizetype count, bool checking = false);

private:
    void showFile();
    void runCheck();
    void showMessage();

    QPointer<LWEditor> m_editor;
    LWApp &m_app;
    Hooks m_hooks;
    VKTextLine *m_file;
    QAbstractButton *m_check;
    LampText *m_checkFace;
    VKTextLine *m_message;
    QTimer m_checkTimer;
    bool m_checking = false; // pictures still being checked: run again as their answers come
    std::optional<QString> m_shown; // the message as last seen
    quint64 m_generation = 0;       // rises with every new message text
};

// The bar along the bottom of the main window: a usage tip while no design is open, else the
// editor status; at the right the state's notice beside a green lamp while there is one, and the
// maker's credit link. Replaces its editor status only when the open editor changes.
class StatusStrip : public QWidget {
    Q_OBJECT
public:
    explicit StatusStrip(LWApp &app, EditorStatus::Hooks hooks = {}, QWidget *parent = nullptr);

    [[nodiscard]] static QString tip();

    VKTextLine *tipText() const { return m_tip; }
    EditorStatus *editorStatus() const { return m_status; }
    LampText *notice() const { return m_notice; }
    QAbstractButton *creditLink() const { return m_credit; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showEditor();
    void showNotice();

    LWApp &m_app;
    EditorStatus::Hooks m_hooks;
    QHBoxLayout *m_row;
    VKTextLine *m_tip;
    QPointer<EditorStatus> m_status;
    LampText *m_notice;
    QAbstractButton *m_credit;
};
