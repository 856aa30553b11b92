#pragma once

#include "platform/Forms.h"

// Hidden host form, loaded first and never shown: it carries the
// downloader's watchdog timer.
class frmDummy : public Form
{
    Q_OBJECT
public:
    explicit frmDummy(QWidget *parent = nullptr);
};
