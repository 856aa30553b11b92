#include "support/frmAbout.h"

frmAbout::frmAbout(const QString &browserCommand, QWidget *parent)
    : Form(parent)
    , mBrowserCommand(browserCommand)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Über Talvento"));
}
