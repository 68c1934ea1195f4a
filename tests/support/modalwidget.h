#pragma once

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// Closes every modal widget still open, innermost first, so that the
// exec() each one runs returns.
inline void closeModalWidgets()
{
    while (QWidget *modal = QApplication::activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
        // A widget that refuses to close must still leave the stack.
        if (QApplication::activeModalWidget() == modal)
            modal->hide();
    }
}

// Runs `answer` on the next modal widget that opens (a dialog run with
// exec(), a message box), from the event loop that widget runs. `context`
// ends the wait if it is destroyed first.
//
// A check that fails inside `answer` returns from it early, with the modal
// widget still open: its exec() would then hold the test until CTest's
// time-out, which hides the failure behind a hang. So after a failure every
// modal widget is closed and the test function goes on to its end at once.
inline void whenModalOpens(QObject *context, std::function<void(QWidget *)> answer)
{
    QTimer::singleShot(0, context, [answer] {
        QWidget *modal = nullptr;
        QTRY_VERIFY((modal = QApplication::activeModalWidget()) != nullptr);
        answer(modal);
        if (QTest::currentTestFailed())
            closeModalWidgets();
    });
}

// Runs `answer` on the first modal widget of type T that opens, however
// many others open and close before it. It looks every few milliseconds
// without blocking: a dialog that opens another once it closes (an editor,
// then a question) is answered one after the other.
template<typename T>
inline void whenModalOfTypeOpens(QObject *context, std::function<void(T *)> answer)
{
    auto *poll = new QTimer(context);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, context, [poll, answer] {
        auto *modal = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!modal)
            return;
        poll->stop();
        poll->deleteLater();
        answer(modal);
        if (QTest::currentTestFailed())
            closeModalWidgets();
    });
    poll->start();
}
