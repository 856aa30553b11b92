#include "downloader/CopyHelper.h"

CopyHelper::CopyHelper(QObject *parent)
    : QObject(parent)
{
}

CopyHelper::~CopyHelper() = default;
