#pragma once

#include <QByteArray>

namespace zvtest {

// Sets (or, given nullptr, unsets) an environment variable while this lives.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray *value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_previous(qgetenv(name))
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ScopedEnv(const char *name, const QByteArray &value)
        : ScopedEnv(name, &value)
    {
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
    bool m_had;
    QByteArray m_previous;
};

} // namespace zvtest
