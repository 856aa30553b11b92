#pragma once

#include <QObject>

// The program's HTTP/1.1 GET downloader (one transfer at a time).
class CopyHelper : public QObject
{
    Q_OBJECT
public:
    explicit CopyHelper(QObject *parent = nullptr);
    ~CopyHelper() override;
};
