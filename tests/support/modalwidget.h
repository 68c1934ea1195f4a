#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs `answer` on the next modal widget that opens (a dialog run with
// exec(), a message box), from the event loop that widget runs. `context`
// ends the wait if it is destroyed first.
inline void whenModalOpens(QObject *context, std::function<void(QWidget *)> answer)
{
    QTimer::singleShot(0, context, [answer] {
        QWidget *modal = nullptr;
        QTRY_VERIFY((modal = QApplication::activeModalWidget()) != nullptr);
        answer(modal);
    });
}
