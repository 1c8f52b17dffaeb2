#pragma once

#include <QString>

class QWidget;

namespace ui {

// Shows modal warning boxes (exclamation icon, one OK button). Tests replace it so that no
// test blocks in a message box.
class MessagePresenter
{
public:
    virtual ~MessagePresenter() = default;
    virtual void warning(QWidget* parent, const QString& title, const QString& text) = 0;

    // The same box with a second, smaller line under `text` that says where or why; `text`
    // itself stays the message the program has always shown. An empty `detail` adds nothing.
    virtual void warningWithDetail(
        QWidget* parent, const QString& title, const QString& text, const QString& /*detail*/)
    {
        warning(parent, title, text);
    }
};

// The presenter in use: a QMessageBox one unless a test installed its own.
MessagePresenter& messagePresenter();

// Installs `presenter` (not owned); nullptr restores the QMessageBox one.
void setMessagePresenter(MessagePresenter* presenter);

// The title of the application's own warning boxes.
QString applicationTitle();

}  // namespace ui
