// SPDX-License-Identifier: MIT
#include "RelayBoard.h"

#include "Port.h"

#include <QLoggingCategory>
#include <QSemaphore>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

Q_LOGGING_CATEGORY(lcRelayBoard, "relvoog.link")

namespace {
const QByteArray kStrobe = QByteArrayLiteral("a");

bool shiftBit(Port &port, bool bit)
{
    // DTR settles while RTS is low, so the board samples it on the rising edge. The pulse is
    // completed even after a failed step, so that RTS never stays asserted.
    const bool data = port.setDtr(bit);
    const bool rise = port.setRts(true);
    const bool fall = port.setRts(false);
    return data && rise && fall;
}

LinkError tryOpening(Port &port)
{
    if (!port.open())
        return port.error();
    port.close();
    return {};
}
} // namespace

LinkError RelayBoard::writeFrame(Port &port, const RelayStates &states)
{
    // The kernel raises RTS when the port opens; releasing it first gives the first clock pulse
    // its rising edge. Without it the board would take only seven bits and latch them one stage
    // short.
    bool ok = port.open() && port.setRts(false);
    for (int channel = kChannelCount; ok && channel >= 1; --channel)
        ok = shiftBit(port, states[channel]);
    ok = ok && port.transmit(kStrobe);
    const LinkError error = ok ? LinkError() : port.error();
    port.close();
    return error;
}

struct RelayBoard::Request
{
    enum Kind { WriteFrame, TryPort };

    Kind kind = WriteFrame;
    quint16 portNumber = 0;
    Frame frame = Frame::States;
    RelayStates states;
    quint64 trial = 0;
    // Set when the device is another copy's: the port is then not touched at all.
    LinkError refusal;

    LinkError perform(Port &port) const
    {
        if (refusal.failed())
            return refusal;
        port.setPortNumber(portNumber);
        return kind == WriteFrame ? writeFrame(port, states) : tryOpening(port);
    }
};

// What the writing thread shares with the board. The thread holds it too, so that a thread
// still stuck in a request when the board goes finds its port alive.
struct RelayBoard::Writer
{
    explicit Writer(std::unique_ptr<Port> port)
        : port(std::move(port))
    { }

    void run()
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            // One release for every request submitted, so none waits for a wake-up that came
            // before it; one that a newer request took the place of leaves a release that finds
            // nothing. Unlike a condition variable's, this wait leaves the mutex uncontended, so
            // the frame a hundred times a second costs no system call to unlock it. A frame that
            // repeats ends the wait when it is due.
            const bool repeating = repeated.has_value();
            const auto repeatIn = std::chrono::ceil<std::chrono::milliseconds>(
                nextRepeat - std::chrono::steady_clock::now());
            lock.unlock();
            if (repeating)
                requested.tryAcquire(1, std::max(repeatIn, repeatIn.zero()));
            else
                requested.acquire();
            lock.lock();
            if (stopping)
                return;
            if (!pending.empty()) {
                current = pending.front();
                pending.pop_front();
            } else if (repeated && std::chrono::steady_clock::now() >= nextRepeat) {
                current = *repeated;
                // On the interval's grid, unless the frames fell a whole interval behind it.
                const auto now = std::chrono::steady_clock::now();
                nextRepeat += repeatInterval;
                if (nextRepeat <= now)
                    nextRepeat = now + repeatInterval;
            } else {
                continue;
            }
            busy = true;
            busySince = std::chrono::steady_clock::now();
            toldAsHung = false;
            lock.unlock();
            const LinkError error = current.perform(*port);
            lock.lock();
            busy = false;
            // A trial already told as not answering has had its outcome; a frame's end is told
            // all the same, since it ends the failure. A frame that went as the one before it
            // tells nothing new, and a hundred wake-ups a second of the board's thread for it
            // would be the idle program's largest cost.
            const bool told = toldAsHung && current.kind == Request::TryPort;
            const bool same = current.kind == Request::WriteFrame && current.frame == Frame::States
                && !toldAsHung && current.portNumber == lastPortNumber
                && error.failed() == lastError.failed() && error.text == lastError.text;
            if (current.kind == Request::WriteFrame) {
                lastPortNumber = current.portNumber;
                lastError = error;
            }
            if (board && !told && !same)
                QMetaObject::invokeMethod(
                    board,
                    [board = board, request = current, error] { board->report(request, error); },
                    Qt::QueuedConnection);
            idle.notify_all();
        }
    }

    const std::unique_ptr<Port> port;
    std::mutex mutex;
    QSemaphore requested;
    std::condition_variable idle;
    // At most one frame and one trial wait: each newer one takes the place of the one before.
    std::deque<Request> pending;
    // The frame written again whenever the interval passes without one; none while frames go
    // only when asked for.
    std::chrono::milliseconds repeatInterval {0};
    std::optional<Request> repeated;
    std::chrono::steady_clock::time_point nextRepeat;
    Request current;
    bool busy = false;
    std::chrono::steady_clock::time_point busySince;
    bool toldAsHung = false;
    // The outcome of the last frame written, so that only what differs is posted.
    quint16 lastPortNumber = 0;
    LinkError lastError;
    bool stopping = false;
    RelayBoard *board = nullptr; // cleared when the board goes, so nothing is reported to it
    std::thread thread;
};

RelayBoard::RelayBoard(
    std::unique_ptr<Port> port, Threading threading, std::chrono::milliseconds answerLimit)
    : m_writer(std::make_shared<Writer>(std::move(port)))
    , m_answerLimit(answerLimit)
{
    if (threading == Threading::Inline)
        return;
    m_answerCheck.setSingleShot(true);
    connect(&m_answerCheck, &QTimer::timeout, this, &RelayBoard::checkAnswer);
    m_writer->board = this;
    m_writer->thread = std::thread([writer = m_writer] { writer->run(); });
}

RelayBoard::~RelayBoard()
{
    if (!m_writer->thread.joinable())
        return;
    bool busy;
    {
        std::lock_guard<std::mutex> lock(m_writer->mutex);
        m_writer->stopping = true;
        m_writer->board = nullptr;
        busy = m_writer->busy;
    }
    m_writer->requested.release();
    // A thread stuck in a request to a dead adapter is left to the process's end; it shares the
    // port, so it never touches anything freed. Otherwise it is on its way out.
    if (busy)
        m_writer->thread.detach();
    else
        m_writer->thread.join();
}

LinkError RelayBoard::claimRefusal(const DeviceClaim &claim, quint16 portNumber) const
{
    return {LinkError::Reason::Claimed,
        tr("Seadet %1 juhib teine Relvoogi koopia (%2).").arg(device(portNumber), claim.holder()),
        EBUSY};
}

void RelayBoard::repeatFrames(std::chrono::milliseconds interval)
{
    std::lock_guard<std::mutex> lock(m_writer->mutex);
    m_writer->repeatInterval = interval;
}

LinkError RelayBoard::setPortNumber(quint16 number)
{
    if (number != m_portNumber)
        m_portReached = false;
    m_portNumber = number;
    m_claimRefusal = {};
    switch (m_claim.claim(device(number))) {
    case DeviceClaim::Result::Absent:
        m_claimSettled = false;
        break;
    case DeviceClaim::Result::Claimed:
        m_claimSettled = true;
        break;
    case DeviceClaim::Result::Refused:
        m_claimSettled = true;
        m_claimRefusal = claimRefusal(m_claim, number);
        break;
    }
    // Repeats go to the new port at once; a device not yet claimed gets frames only when asked,
    // and is claimed with the first of them once it appears.
    std::lock_guard<std::mutex> lock(m_writer->mutex);
    if (m_writer->repeated && m_claimSettled) {
        m_writer->repeated->portNumber = number;
        m_writer->repeated->refusal = m_claimRefusal;
    } else {
        m_writer->repeated.reset();
    }
    return m_claimRefusal;
}

QString RelayBoard::device(quint16 portNumber) const
{
    return m_writer->port->device(portNumber);
}

Port &RelayBoard::port() const
{
    Q_ASSERT(!m_writer->thread.joinable());
    return *m_writer->port;
}

void RelayBoard::write(const RelayStates &states, Frame frame)
{
    // An adapter plugged in after the start is claimed with its first frame.
    if (!m_claimSettled)
        setPortNumber(m_portNumber);
    Request request;
    request.portNumber = m_portNumber;
    request.frame = frame;
    request.states = states;
    request.refusal = m_claimRefusal;
    submit(request);
}

quint64 RelayBoard::tryPort(quint16 portNumber)
{
    Request request;
    request.kind = Request::TryPort;
    request.portNumber = portNumber;
    request.trial = ++m_lastTrial;
    // The port in use is claimed already; another one is claimed for the trial, so that a board
    // another copy drives is refused without being touched.
    m_trialClaim.release();
    if (device(portNumber) != device(m_portNumber)
        && m_trialClaim.claim(device(portNumber)) == DeviceClaim::Result::Refused)
        request.refusal = claimRefusal(m_trialClaim, portNumber);
    submit(request);
    return request.trial;
}

void RelayBoard::submit(const Request &request)
{
    std::unique_lock<std::mutex> lock(m_writer->mutex);
    if (m_writer->stopping)
        return;
    if (!m_writer->thread.joinable()) {
        lock.unlock();
        const LinkError error = request.perform(*m_writer->port);
        // A trial's outcome comes later, as it does from the writing thread, so that the caller
        // knows the trial's number by then.
        if (request.kind == Request::TryPort)
            QMetaObject::invokeMethod(
                this, [this, request, error] { report(request, error); }, Qt::QueuedConnection);
        else
            report(request, error);
        return;
    }
    std::deque<Request> &pending = m_writer->pending;
    Request queued = request;
    for (auto waiting = pending.begin(); waiting != pending.end(); ++waiting) {
        if (waiting->kind != request.kind)
            continue;
        // The newer frame carries the states that count now; if it replaces an all-off, it is
        // that all-off's frame for the port moving and reporting.
        if (waiting->frame == Frame::AllOff)
            queued.frame = Frame::AllOff;
        pending.erase(waiting);
        break;
    }
    pending.push_back(queued);
    if (request.kind == Request::WriteFrame && m_writer->repeatInterval.count() > 0) {
        if (!m_writer->repeated)
            m_writer->nextRepeat = std::chrono::steady_clock::now() + m_writer->repeatInterval;
        if (m_claimSettled) {
            m_writer->repeated = request;
            m_writer->repeated->frame = Frame::States;
        } else {
            m_writer->repeated.reset();
        }
    }
    lock.unlock();
    m_writer->requested.release();
    // The request can start no sooner than now, so it cannot be overdue before the limit has
    // passed from here.
    if (!m_answerCheck.isActive())
        m_answerCheck.start(m_answerLimit);
}

bool RelayBoard::stop(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(m_writer->mutex);
    m_writer->stopping = true;
    m_writer->pending.clear();
    m_writer->requested.release();
    return m_writer->idle.wait_for(lock, limit, [this] { return !m_writer->busy; });
}

void RelayBoard::checkAnswer()
{
    // Looks again when the request under way would reach the limit: about once a second while
    // frames go through, and at that very moment for one that hangs.
    std::unique_lock<std::mutex> lock(m_writer->mutex);
    if (!m_writer->busy) {
        // One that waits, or the next repeat, starts no sooner than now.
        if (!m_writer->pending.empty() || m_writer->repeated)
            m_answerCheck.start(m_answerLimit);
        return;
    }
    const auto overdueIn = m_writer->busySince + m_answerLimit - std::chrono::steady_clock::now();
    if (m_writer->toldAsHung || overdueIn > overdueIn.zero()) {
        // Told already: the next request is looked at once this one has ended.
        m_answerCheck.start(m_writer->toldAsHung
                ? m_answerLimit
                : std::chrono::ceil<std::chrono::milliseconds>(overdueIn));
        return;
    }
    m_writer->toldAsHung = true;
    const Request request = m_writer->current;
    lock.unlock();
    m_answerCheck.start(m_answerLimit);
    report(request,
        {LinkError::Reason::NoAnswer, tr("Seade %1 ei vasta.").arg(device(request.portNumber)),
            ETIMEDOUT});
}

void RelayBoard::report(const Request &request, const LinkError &error)
{
    if (request.kind == Request::TryPort) {
        if (request.trial == m_lastTrial)
            m_trialClaim.release();
        emit portTried(request.trial, request.portNumber, error);
        return;
    }
    if (request.portNumber == m_portNumber && !error.failed())
        m_portReached = true;
    // Every tick writes a frame, so a lasting fault is told once, and once again when it ends.
    const bool changed = request.portNumber != m_lastPortNumber
        || error.failed() != m_lastError.failed() || error.text != m_lastError.text;
    if (changed && error.failed())
        qCWarning(lcRelayBoard).noquote()
            << tr("Pordile %1 kirjutamine ebaõnnestus: %2").arg(request.portNumber).arg(error.text);
    else if (changed && m_lastError.failed())
        qCInfo(lcRelayBoard).noquote() << tr("Port %1 vastab taas.").arg(request.portNumber);
    m_lastPortNumber = request.portNumber;
    m_lastError = error;
    if (changed || request.frame == Frame::AllOff)
        emit frameWritten(request.portNumber, request.frame, error);
}
