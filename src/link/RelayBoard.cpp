#include "RelayBoard.h"

#include "Port.h"

#include <QLoggingCategory>

#include <condition_variable>
#include <deque>
#include <mutex>
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

namespace {
LinkError tryOpening(Port &port)
{
    if (!port.open())
        return port.error();
    port.close();
    return {};
}
} // namespace

struct RelayBoard::Request
{
    enum Kind { WriteFrame, TryPort };

    Kind kind;
    quint16 portNumber;
    Frame frame = Frame::Tick;
    RelayStates states;

    LinkError perform(Port &port) const
    {
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
            wake.wait(lock, [this] { return stopping || !pending.empty(); });
            if (stopping)
                return;
            const Request request = pending.front();
            pending.pop_front();
            busy = true;
            lock.unlock();
            const LinkError error = request.perform(*port);
            lock.lock();
            busy = false;
            if (board)
                QMetaObject::invokeMethod(
                    board, [board = board, request, error] { board->report(request, error); },
                    Qt::QueuedConnection);
            idle.notify_all();
        }
    }

    const std::unique_ptr<Port> port;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<Request> pending;
    bool busy = false;
    bool stopping = false;
    RelayBoard *board = nullptr; // cleared when the board goes, so nothing is reported to it
    std::thread thread;
};

RelayBoard::RelayBoard(std::unique_ptr<Port> port, Threading threading)
    : m_writer(std::make_shared<Writer>(std::move(port)))
{
    if (threading == Threading::Inline)
        return;
    m_writer->board = this;
    m_writer->thread = std::thread([writer = m_writer] { writer->run(); });
}

RelayBoard::~RelayBoard()
{
    if (!m_writer->thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_writer->mutex);
        m_writer->stopping = true;
        m_writer->board = nullptr;
    }
    m_writer->wake.notify_all();
    bool busy;
    {
        std::lock_guard<std::mutex> lock(m_writer->mutex);
        busy = m_writer->busy;
    }
    // A thread stuck in a request to a dead adapter is left to the process's end; it shares the
    // port, so it never touches anything freed. Otherwise it is on its way out.
    if (busy)
        m_writer->thread.detach();
    else
        m_writer->thread.join();
}

void RelayBoard::setPortNumber(quint16 number)
{
    if (number != m_portNumber)
        m_portReached = false;
    m_portNumber = number;
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
    submit({Request::WriteFrame, m_portNumber, frame, states});
}

void RelayBoard::tryPort(quint16 portNumber)
{
    submit({Request::TryPort, portNumber, Frame::Tick, {}});
}

void RelayBoard::submit(Request request)
{
    std::unique_lock<std::mutex> lock(m_writer->mutex);
    if (m_writer->stopping)
        return;
    if (!m_writer->thread.joinable()) {
        lock.unlock();
        report(request, request.perform(*m_writer->port));
        return;
    }
    std::deque<Request> &pending = m_writer->pending;
    // A waiting tick frame carries older states than anything asked for after it.
    if (!pending.empty() && pending.back().kind == Request::WriteFrame
        && pending.back().frame == Frame::Tick)
        pending.back() = request;
    else
        pending.push_back(request);
    lock.unlock();
    m_writer->wake.notify_one();
}

bool RelayBoard::stop(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(m_writer->mutex);
    m_writer->stopping = true;
    m_writer->wake.notify_all();
    return m_writer->idle.wait_for(lock, limit, [this] { return !m_writer->busy; });
}

void RelayBoard::report(const Request &request, const LinkError &error)
{
    if (request.kind == Request::TryPort) {
        emit portTried(request.portNumber, error);
        return;
    }
    if (request.portNumber == m_portNumber && !error.failed())
        m_portReached = true;
    // Every tick writes a frame, so a lasting fault is told once, and once again when it ends.
    const bool changed = request.portNumber != m_lastPortNumber
        || error.failed() != m_lastError.failed() || error.text != m_lastError.text;
    if (changed && error.failed())
        qCWarning(lcRelayBoard).noquote()
            << "relay frame failed on port" << request.portNumber << "-" << error.text;
    else if (changed && m_lastError.failed())
        qCInfo(lcRelayBoard) << "relay frames reach port" << request.portNumber;
    m_lastPortNumber = request.portNumber;
    m_lastError = error;
    if (changed || request.frame == Frame::AllOff)
        emit frameWritten(request.portNumber, request.frame, error);
}
