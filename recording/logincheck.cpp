#include "recording/logincheck.h"

#include <QThread>

#include <memory>

LoginCheck::~LoginCheck()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void LoginCheck::check(const DatabaseConfig &config)
{
    if (m_thread) {
        m_next = config;
        m_hasNext = true;
        return;
    }
    run(config);
}

void LoginCheck::run(const DatabaseConfig &config)
{
    auto login = std::make_shared<ServerConnection::Login>();
    m_thread = QThread::create([config, login] { *login = ServerConnection::tryLogin(config); });
    m_thread->setObjectName(QStringLiteral("LoginCheck"));
    connect(m_thread, &QThread::finished, this, [this, config, login] {
        // finished is sent from the thread's last moments: it ends at once.
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
        if (m_hasNext) {
            // An answer for a configuration nobody uses any more.
            m_hasNext = false;
            run(m_next);
            return;
        }
        emit answered(config, *login);
    });
    m_thread->start();
}
