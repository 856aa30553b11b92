#include "trainer/frmDummy.h"

frmDummy::frmDummy(QWidget *parent)
    : Form(parent)
{
    setObjectName(QStringLiteral("frmDummy"));
    setWindowTitle(QStringLiteral("CHDummyForm"));
}
