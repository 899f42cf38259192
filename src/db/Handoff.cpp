#include "Handoff.h"

#include <QSocketNotifier>
#include <new>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace db {

OwnerWake::OwnerWake() = default;

bool OwnerWake::start(std::function<void()> onWake) {
    if (m_fd >= 0) return true;
    m_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd < 0) return false;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     std::move(onWake));
    return true;
}

OwnerWake::~OwnerWake() {
    m_notifier.reset();
    if (m_fd >= 0) ::close(m_fd);
}

void OwnerWake::signal() {
    if (m_fd >= 0) eventfd_write(m_fd, 1);
}

void OwnerWake::consume() {
    eventfd_t ignored = 0;
    if (m_fd >= 0) eventfd_read(m_fd, &ignored);
}

LoanWorker::~LoanWorker() {
    if (running()) join();
}

bool LoanWorker::start(ConnectionLoan& loan, Job job, ErrorList& errors) {
    m_done = false;
    m_loan = std::move(loan);
    const auto failed = [&](const Error& e) {
        loan = std::move(m_loan);
        errors = {e};
        return false;
    };
    try {
        m_thread = std::thread([this, job = std::move(job)] {
            ErrorList outcome;
            try {
                outcome = job(m_loan.work());
            } catch (const std::bad_alloc&) {
                outcome = {errors::outOfMemory(QStringLiteral("Tolvan.Worker"))};
            }
            m_loan.setOutcome(std::move(outcome));
            {
                const std::lock_guard lock(m_lock);
                m_done = true;
            }
            m_ended.notify_all();
        });
    } catch (const std::system_error&) {
        return failed(makeError(ErrorNumber::Fail, QStringLiteral("No thread could be started."),
                                QStringLiteral("Tolvan.Worker")));
    } catch (const std::bad_alloc&) {
        return failed(errors::outOfMemory(QStringLiteral("Tolvan.Worker")));
    }
    return true;
}

bool LoanWorker::waitFor(int milliseconds) {
    if (!running()) return true;
    std::unique_lock lock(m_lock);
    return m_ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return m_done; });
}

ConnectionLoan LoanWorker::join() {
    if (m_thread.joinable()) m_thread.join();
    return std::move(m_loan);
}

} // namespace db
