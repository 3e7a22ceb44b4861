// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/Vt9rEmulator.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace tunewright::emulator
{
namespace
{

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t attachBody[] = { 0x42, 0x30, 0x73, 0x20, 0x4E, 0x40, 0x00 };
constexpr std::uint8_t signature[] = { 0x42, 0x23, 0x73 };

// Function bytes of the unit's message set.
constexpr std::uint8_t updateRequest = 0x00, songSelectRequest = 0x01, songSelectReply = 0x02,
                       dataStartRequest = 0x03, dataStartReply = 0x04, deviceStatus = 0x05, dataPacket = 0x06;

constexpr int bytesPerPacket = Vt9rEmulator::songBytes / Vt9rEmulator::packetCount; // 64

enum class Phase
{
    idle,
    awaitingSongSelect,
    awaitingDataStart,
    receiving
};

juce::MidiMessage unitMessage (std::initializer_list<std::uint8_t> tail)
{
    std::vector<std::uint8_t> body (std::begin (signature), std::end (signature));
    body.insert (body.end(), tail);
    return juce::MidiMessage::createSysExMessage (body.data(), (int) body.size());
}

juce::MidiMessage statusMessage (int code)
{
    return unitMessage ({ deviceStatus, (std::uint8_t) (code & 0x7F) });
}

juce::String hexOf (const juce::MidiMessage& m)
{
    return juce::String::toHexString (m.getRawData(), m.getRawDataSize()).toUpperCase();
}

juce::String slotName (int slot)
{
    return "SONG 0" + juce::String (slot + 1);
}

juce::String statusName (int code)
{
    switch (code)
    {
        case Vt9rEmulator::ok:                return "0 (ok)";
        case Vt9rEmulator::productIdError:    return "1 (product ID error)";
        case Vt9rEmulator::formatError:       return "3 (format error)";
        case Vt9rEmulator::slotError:         return "4 (slot error)";
        case Vt9rEmulator::packetNumberError: return "5 (packet number error)";
        case Vt9rEmulator::checksumError:     return "6 (checksum error)";
        case Vt9rEmulator::timeoutError:      return "7 (timeout)";
        case Vt9rEmulator::flashWriteError:   return "9 (flash write error)";
        case Vt9rEmulator::abortedByUser:     return "10 (aborted by user)";
        default:                              return juce::String (code);
    }
}

struct Task
{
    bool fromProgram = true; // else: a message the emulator was told to send
    juce::MidiMessage message;
    Clock::time_point due;   // when its last byte has reached the unit
};

// What handling one message produced; sent and reported outside the lock.
struct Outcome
{
    std::vector<juce::MidiMessage> answers;
    juce::StringArray lines;
};

} // namespace

Vt9rEmulator::Fault Vt9rEmulator::Fault::status (int packet, int code)
{
    Fault f;
    f.kind = Kind::status;
    f.packet = packet;
    f.statusCode = code;
    return f;
}

Vt9rEmulator::Fault Vt9rEmulator::Fault::stopAnswering (int packet)
{
    Fault f;
    f.kind = Kind::stopAnswering;
    f.packet = packet;
    return f;
}

Vt9rEmulator::Fault Vt9rEmulator::Fault::restart (int packet)
{
    Fault f;
    f.kind = Kind::restart;
    f.packet = packet;
    return f;
}

Vt9rEmulator::Fault Vt9rEmulator::Fault::extraMessage (int packet, const juce::MidiMessage& message)
{
    Fault f;
    f.kind = Kind::extraMessage;
    f.packet = packet;
    f.message = message;
    return f;
}

struct Vt9rEmulator::Impl
{
    Impl (midi::InProcessMidiSystem& s, const juce::String& in) : system (s), inputId (in)
    {
        memory.fill (0xFF);

        for (auto& slot : slots)
            slot.fill (0xFF);
    }

    midi::InProcessMidiSystem& system;
    const juce::String inputId;

    mutable std::mutex mutex; // guards everything below
    std::condition_variable wake;
    mutable std::condition_variable becameIdle;
    std::deque<Task> queue;
    bool busy = false;
    bool exitRequested = false;

    Timing timing = Timing::immediate;
    Clock::time_point cableFreeAt {};
    std::chrono::milliseconds replyTimeout { 0 };
    std::optional<Clock::time_point> timeoutAt;

    Observer observer;
    std::vector<Fault> faults;
    bool answering = true;

    Phase phase = Phase::idle;
    int selectedSlot = -1;
    int nextPacket = 0;
    std::array<std::uint8_t, songBytes> memory;
    std::array<std::array<std::uint8_t, songBytes>, slotCount> slots;
    std::array<bool, slotCount> stored {};
    Counters counters;
    juce::StringArray log;

    std::thread worker;

    // The program's sending thread, inside its send: only queues.
    void receive (const juce::MidiMessage& message)
    {
        {
            const std::lock_guard<std::mutex> sl (mutex);
            auto due = Clock::now();

            if (timing == Timing::midiCable)
            {
                due = std::max (due, cableFreeAt) + wireTime (message.getRawDataSize());
                cableFreeAt = due;
            }

            queue.push_back ({ true, message, due });
        }
        wake.notify_all();
    }

    //==========================================================================
    // Everything below runs on the emulator's thread with the mutex held.

    void note (Outcome& out, const juce::String& line)
    {
        log.add (line);
        out.lines.add (line);
    }

    void error (Outcome& out, const juce::String& line)
    {
        ++counters.errors;
        note (out, "error: " + line);
    }

    // Ends the transfer with a status code.
    void reject (Outcome& out, int code, const juce::String& why)
    {
        error (out, why + "; answering status " + statusName (code));
        out.answers.push_back (statusMessage (code));
        phase = Phase::idle;
    }

    std::optional<Fault> takeFault (int packet)
    {
        auto it = std::find_if (faults.begin(), faults.end(), [packet] (const Fault& f) { return f.packet == packet; });

        if (it == faults.end())
            return std::nullopt;

        auto fault = *it;
        faults.erase (it);
        return fault;
    }

    // Applies a fault due at this point; true when it replaced the normal answer.
    bool applyFault (Outcome& out, int packet)
    {
        auto fault = takeFault (packet);

        if (! fault)
            return false;

        const auto where = packet == Fault::atDataStart ? juce::String ("fault at data start")
                                                        : "fault at packet " + juce::String (packet);

        switch (fault->kind)
        {
            case Fault::Kind::status:
                note (out, where + ": answering status " + statusName (fault->statusCode));
                out.answers.push_back (statusMessage (fault->statusCode));

                if (fault->statusCode != ok)
                    phase = Phase::idle;

                return true;

            case Fault::Kind::stopAnswering:
                note (out, where + ": answering nothing from now on");
                answering = false;
                return true;

            case Fault::Kind::restart:
                note (out, where + ": asking to start the data again");
                out.answers.push_back (unitMessage ({ dataStartRequest }));
                phase = Phase::awaitingDataStart;
                return true;

            case Fault::Kind::extraMessage:
                note (out, where + ": sending " + hexOf (fault->message) + " first");
                out.answers.push_back (fault->message);
                return false;
        }

        return false;
    }

    void handle (const juce::MidiMessage& message, Outcome& out)
    {
        if (! message.isSysEx())
        {
            note (out, "ignored a message that is not SysEx: " + hexOf (message));
            return;
        }

        const auto* body = message.getSysExData();
        const int size = message.getSysExDataSize();

        if (size == (int) sizeof (attachBody) && std::equal (body, body + size, attachBody))
        {
            ++counters.attachMessages;
            note (out, "attach message received");
            return;
        }

        if (size < 4 || ! std::equal (std::begin (signature), std::end (signature), body))
        {
            note (out, "ignored a message for another device: " + hexOf (message));
            return;
        }

        const auto function = body[3];

        switch (function)
        {
            case updateRequest:    ++counters.updateRequests; break;
            case songSelectReply:  ++counters.songSelectReplies; break;
            case dataStartReply:   ++counters.dataStartReplies; break;
            case dataPacket:       ++counters.packetsReceived; break;
            default: break;
        }

        if (! answering)
        {
            note (out, "not answering: " + hexOf (message).substring (0, 30));
            return;
        }

        switch (function)
        {
            case updateRequest:   return handleUpdateRequest (body, size, out);
            case songSelectReply: return handleSongSelectReply (body, size, out);
            case dataStartReply:  return handleDataStartReply (body, size, out);
            case dataPacket:      return handlePacket (body, size, out);
            default:
                error (out, "unknown function " + juce::String::toHexString ((int) function).toUpperCase()
                                + " in " + hexOf (message) + "; ignored");
                return;
        }
    }

    void handleUpdateRequest (const std::uint8_t* body, int size, Outcome& out)
    {
        if (size != 5)
            return reject (out, formatError, "update request of " + juce::String (size) + " bytes");

        if (body[4] != 0x20)
            return reject (out, productIdError, "update request for product "
                                                    + juce::String::toHexString ((int) body[4]).toUpperCase());

        note (out, "update request received; asking for the song slot");
        out.answers.push_back (unitMessage ({ songSelectRequest }));
        phase = Phase::awaitingSongSelect;
    }

    void handleSongSelectReply (const std::uint8_t* body, int size, Outcome& out)
    {
        if (phase != Phase::awaitingSongSelect)
            return error (out, "song select reply that was not asked for; ignored");

        if (size != 5)
            return reject (out, formatError, "song select reply of " + juce::String (size) + " bytes");

        if (body[4] >= slotCount)
            return reject (out, slotError, "song select reply for slot byte " + juce::String ((int) body[4]));

        selectedSlot = body[4];
        note (out, "slot " + slotName (selectedSlot) + " selected; asking to start the data");
        out.answers.push_back (unitMessage ({ dataStartRequest }));
        phase = Phase::awaitingDataStart;
    }

    void handleDataStartReply (const std::uint8_t* body, int size, Outcome& out)
    {
        if (phase != Phase::awaitingDataStart)
            return error (out, "data start reply that was not asked for; ignored");

        if (size != 8 || body[4] != 0x00 || body[6] != 0x7F || body[7] != 0x7F)
            return reject (out, formatError, "malformed data start reply");

        if (body[5] != selectedSlot)
            return reject (out, slotError, "data start reply for slot byte " + juce::String ((int) body[5])
                                               + " after " + slotName (selectedSlot) + " was selected");

        memory.fill (0xFF);
        nextPacket = 0;
        phase = Phase::receiving;
        note (out, "data start for " + slotName (selectedSlot) + "; asking for packet 0");

        if (! applyFault (out, Fault::atDataStart))
            out.answers.push_back (statusMessage (ok));
    }

    void handlePacket (const std::uint8_t* body, int size, Outcome& out)
    {
        if (phase != Phase::receiving)
            return error (out, "data packet " + juce::String (size >= 6 ? body[4] * 128 + body[5] : -1)
                                   + " outside a transfer; ignored");

        if (size != packetBodyBytes)
            return reject (out, formatError, "data packet of " + juce::String (size) + " bytes");

        if (std::any_of (body, body + size, [] (std::uint8_t b) { return b >= 0x80; }) || body[78] > 0x01)
            return reject (out, formatError, "data packet with a byte out of range");

        const int number = body[4] * 128 + body[5];

        if (number != nextPacket)
            return reject (out, packetNumberError, "packet " + juce::String (number) + " received, packet "
                                                       + juce::String (nextPacket) + " expected");

        int sum = 0;

        for (int i = 6; i < 80; ++i)
            sum += body[i];

        if ((sum & 0x7F) != body[80])
            return reject (out, checksumError, "packet " + juce::String (number) + " has checksum "
                                                   + juce::String ((int) body[80]) + ", its bytes sum to "
                                                   + juce::String (sum & 0x7F));

        decode (body, memory.data() + number * bytesPerPacket);
        ++counters.packetsAccepted;
        ++nextPacket;

        if ((number + 1) % 32 == 0)
            note (out, "packet " + juce::String (number) + " received (" + juce::String (number + 1) + " of 256)");

        if (applyFault (out, number))
            return;

        if (number == packetCount - 1)
            storeSong (out);

        out.answers.push_back (statusMessage (ok));
    }

    // Ten groups of a high-bit byte and up to seven data bytes: nine of seven, one of one.
    static void decode (const std::uint8_t* body, std::uint8_t* song)
    {
        int offset = 6;

        for (int start = 0; start < bytesPerPacket; start += 7)
        {
            const auto highBits = body[offset++];
            const int count = std::min (7, bytesPerPacket - start);

            for (int k = 0; k < count; ++k)
                song[start + k] = (std::uint8_t) (body[offset++] | (((highBits >> k) & 1) << 7));
        }
    }

    void storeSong (Outcome& out)
    {
        slots[(size_t) selectedSlot] = memory;
        stored[(size_t) selectedSlot] = true;
        ++counters.songsStored;
        phase = Phase::idle;

        note (out, "song stored in " + slotName (selectedSlot) + ": "
                       + juce::String (songLength (memory.data(), songBytes)) + " bytes, CRC-32 0x"
                       + juce::String::toHexString ((juce::int64) crc32 (memory.data(), songBytes))
                             .toUpperCase().paddedLeft ('0', 8));
    }

    bool awaitsProgram() const
    {
        return phase != Phase::idle && answering;
    }

    //==========================================================================
    // The emulator's thread.
    void run()
    {
        std::unique_lock<std::mutex> lock (mutex);

        for (;;)
        {
            if (exitRequested)
                return;

            if (queue.empty())
            {
                if (timeoutAt && Clock::now() >= *timeoutAt)
                    handleTimeout (lock);
                else if (timeoutAt)
                    wake.wait_until (lock, *timeoutAt);
                else
                    wake.wait (lock);

                continue;
            }

            auto task = std::move (queue.front());
            queue.pop_front();
            busy = true;
            timeoutAt.reset();

            Outcome out;

            if (task.fromProgram)
            {
                if (! waitUntil (lock, task.due))
                    return;

                handle (task.message, out);
            }
            else
            {
                out.answers.push_back (task.message);
                note (out, "sent " + hexOf (task.message));
            }

            if (! deliver (lock, out))
                return;

            if (awaitsProgram() && replyTimeout > std::chrono::milliseconds::zero())
                timeoutAt = Clock::now() + replyTimeout;

            finishTask();
        }
    }

    void handleTimeout (std::unique_lock<std::mutex>& lock)
    {
        timeoutAt.reset();

        if (! awaitsProgram())
            return;

        busy = true;
        Outcome out;
        reject (out, timeoutError, "no message from the program for " + juce::String ((int) replyTimeout.count()) + " ms");
        deliver (lock, out);
        finishTask();
    }

    void finishTask()
    {
        busy = false;

        if (queue.empty())
            becameIdle.notify_all();
    }

    // False when the emulator is being destroyed.
    bool waitUntil (std::unique_lock<std::mutex>& lock, Clock::time_point when)
    {
        wake.wait_until (lock, when, [&] { return exitRequested || Clock::now() >= when; });
        return ! exitRequested;
    }

    // Reports the lines and sends the answers without the lock, so the observer
    // may call back and the program may send meanwhile.
    bool deliver (std::unique_lock<std::mutex>& lock, const Outcome& out)
    {
        auto observerCopy = observer;
        lock.unlock();

        if (observerCopy)
            for (auto& line : out.lines)
                observerCopy (line);

        lock.lock();

        for (auto& answer : out.answers)
        {
            if (timing == Timing::midiCable && ! waitUntil (lock, Clock::now() + wireTime (answer.getRawDataSize())))
                return false;

            lock.unlock();
            system.sendToProgram (inputId, answer);
            lock.lock();
            ++counters.messagesSent;
        }

        return ! exitRequested;
    }
};

//==============================================================================
Vt9rEmulator::Vt9rEmulator (midi::InProcessMidiSystem& s, const juce::String& inputName, const juce::String& outputName)
    : system (s)
{
    inputId = system.addInputDevice (inputName);
    impl = std::make_unique<Impl> (system, inputId);
    outputId = system.addOutputDevice (outputName, [i = impl.get()] (const juce::MidiMessage& m) { i->receive (m); });
    impl->worker = std::thread ([i = impl.get()] { i->run(); });
}

Vt9rEmulator::~Vt9rEmulator()
{
    // Waits for a send in progress, so nothing reaches the emulator afterwards.
    system.removeDevice (outputId);
    system.removeDevice (inputId);

    {
        const std::lock_guard<std::mutex> sl (impl->mutex);
        impl->exitRequested = true;
    }
    impl->wake.notify_all();
    impl->worker.join();
}

void Vt9rEmulator::setObserver (Observer observer)
{
    const std::lock_guard<std::mutex> sl (impl->mutex);
    impl->observer = std::move (observer);
}

void Vt9rEmulator::setTiming (Timing timing)
{
    const std::lock_guard<std::mutex> sl (impl->mutex);
    impl->timing = timing;
}

void Vt9rEmulator::setReplyTimeout (std::chrono::milliseconds limit)
{
    const std::lock_guard<std::mutex> sl (impl->mutex);
    impl->replyTimeout = limit;
}

void Vt9rEmulator::addFault (const Fault& fault)
{
    const std::lock_guard<std::mutex> sl (impl->mutex);
    impl->faults.push_back (fault);
}

void Vt9rEmulator::clearFaults()
{
    const std::lock_guard<std::mutex> sl (impl->mutex);
    impl->faults.clear();
}

void Vt9rEmulator::setAnswering (bool shouldAnswer)
{
    const std::lock_guard<std::mutex> sl (impl->mutex);
    impl->answering = shouldAnswer;
}

void Vt9rEmulator::sendToProgram (const juce::MidiMessage& message)
{
    {
        const std::lock_guard<std::mutex> sl (impl->mutex);
        impl->queue.push_back ({ false, message, Clock::now() });
    }
    impl->wake.notify_all();
}

bool Vt9rEmulator::waitUntilIdle (std::chrono::milliseconds limit) const
{
    std::unique_lock<std::mutex> lock (impl->mutex);
    return impl->becameIdle.wait_for (lock, limit, [this] { return impl->queue.empty() && ! impl->busy; });
}

std::array<std::uint8_t, Vt9rEmulator::songBytes> Vt9rEmulator::getSlot (int slot) const
{
    jassert (slot >= 0 && slot < slotCount);
    const std::lock_guard<std::mutex> sl (impl->mutex);
    return impl->slots[(size_t) slot];
}

bool Vt9rEmulator::hasSong (int slot) const
{
    const std::lock_guard<std::mutex> sl (impl->mutex);
    return slot >= 0 && slot < slotCount && impl->stored[(size_t) slot];
}

Vt9rEmulator::Counters Vt9rEmulator::getCounters() const
{
    const std::lock_guard<std::mutex> sl (impl->mutex);
    return impl->counters;
}

juce::StringArray Vt9rEmulator::getLog() const
{
    const std::lock_guard<std::mutex> sl (impl->mutex);
    return impl->log;
}

int Vt9rEmulator::songLength (const std::uint8_t* bytes, int size)
{
    while (size > 0 && bytes[size - 1] == 0xFF)
        --size;

    return size;
}

std::uint32_t Vt9rEmulator::crc32 (const std::uint8_t* bytes, int size)
{
    std::uint32_t crc = 0xFFFFFFFFu;

    for (int i = 0; i < size; ++i)
    {
        crc ^= bytes[i];

        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }

    return ~crc;
}

//==============================================================================
EmulatedMidiSystem::EmulatedMidiSystem (Vt9rEmulator::Observer observer, const juce::String& deviceName)
    : emulator (std::make_unique<Vt9rEmulator> (ports, deviceName, deviceName))
{
    emulator->setObserver (std::move (observer));
}

// The emulator goes first: it unplugs its devices from the ports.
EmulatedMidiSystem::~EmulatedMidiSystem()
{
    emulator.reset();
}

std::unique_ptr<midi::MidiInputPort> EmulatedMidiSystem::openInput (const juce::String& identifier,
                                                                    juce::MidiInputCallback& callback)
{
    return ports.openInput (identifier, callback);
}

std::unique_ptr<midi::MidiOutputPort> EmulatedMidiSystem::openOutput (const juce::String& identifier)
{
    return ports.openOutput (identifier);
}

} // namespace tunewright::emulator
