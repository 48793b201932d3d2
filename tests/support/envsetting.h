#pragma once
// An environment variable set for the length of a scope, then put back.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace rpu::test {

class EnvSetting {
public:
    EnvSetting(const char *name, const QString &value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value.toLocal8Bit());
    }
    ~EnvSetting() { had_ ? qputenv(name_, old_) : qunsetenv(name_); }
    EnvSetting(const EnvSetting &) = delete;
    EnvSetting &operator=(const EnvSetting &) = delete;

private:
    const char *name_;
    QByteArray old_;
    bool had_;
};

} // namespace rpu::test
