#pragma once

#include "support/Forms.h"

// The About window: program name and version, credits, the homepage.
// browserCommand is the default browser's program part (may be empty).
class frmAbout : public Form
{
    Q_OBJECT
public:
    explicit frmAbout(const QString &browserCommand, QWidget *parent = nullptr);

private:
    QString mBrowserCommand;
};
