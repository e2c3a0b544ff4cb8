// Each test runs in a fresh current directory, where the window writes its logs.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>

struct LogDir
{
    QTemporaryDir dir;
    QString previous = QDir::currentPath();

    LogDir() { QDir::setCurrent(dir.path()); }
    ~LogDir() { QDir::setCurrent(previous); }

    static std::string read(const QString& name)
    {
        QFile f(name);
        if (!f.open(QIODevice::ReadOnly))
            return "<missing " + name.toStdString() + ">";
        return f.readAll().toStdString();
    }
};

// The log with every time stamp replaced by "T" and each header's date line by "DATE".
std::string Normalised(const std::string& log);
