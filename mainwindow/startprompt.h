#pragma once

#include "recording/startgate.h"

#include <QCoreApplication>

class QWidget;

class StartPrompt
{
    Q_DECLARE_TR_FUNCTIONS(StartPrompt)

public:
    // Tells the operator why Start warns or is blocked; true when the test
    // may start (allowed, or a warning the operator chose to start despite).
    static bool mayStart(QWidget *parent, const StartGate::Decision &decision);
};
