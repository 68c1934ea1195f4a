#pragma once

#include <QString>

#include <functional>

class QWidget;

// The file dialogs the main window asks for names. They default to
// QFileDialog's static functions; tests put their own answers in.
struct FileDialogs
{
    using Chooser = std::function<QString(QWidget *parent, const QString &caption,
                                          const QString &directory, const QString &filter)>;

    static Chooser getSaveFileName;
    static Chooser getOpenFileName;
    static void restoreDefaults();
};
