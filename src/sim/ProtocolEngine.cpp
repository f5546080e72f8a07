#include "sim/ProtocolEngine.h"

#include "link/CommandTable.h"
#include "sim/PulseShape.h"
#include "sim/SourcePhysics.h"
#include "encodings/Encodings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace tarvio {

namespace {

constexpr char SyncBody[] = "1234567890qwertyuiopasdfghjklzxcvbnm"; // 36 bytes
constexpr std::uint8_t ClockKind = 3;                               // 20 MHz interface clock
constexpr const char* VersionText = "Medipix2 USB interface ver 2.0 (simulated)";

void appendOk(std::vector<std::uint8_t>& bytes) {
    bytes.push_back('O');
    bytes.push_back('K');
    bytes.push_back('\r');
}

void appendTicks(std::vector<std::uint8_t>& bytes, double seconds) {
    std::uint8_t ticks[6];
    SecondsToTicks(seconds, ClockKind, ticks);
    bytes.insert(bytes.end(), ticks, ticks + 6);
}

void appendTicks(std::vector<std::uint8_t>& bytes, std::uint64_t ticks) {
    for (int i = 0; i < 6; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(ticks >> (8 * i)));
    }
}

// Bias voltage the interface's supply makes for a code (the host's default scale).
double biasVolts(std::uint8_t code) {
    return code == 0 ? 0.0 : 16.0 + 55.0 * (255.0 - code) / 254.0;
}

} // namespace

InterfaceState::InterfaceState() : thresholdDac(detector::DefaultThresholdDac) {}

double InterfaceState::intervalSeconds() const {
    if (!intervalRunning || intervalTicks == 0) {
        return 0.0;
    }
    return static_cast<double>(intervalTicks) / TickRate(ClockKind) + 5.3e-6;
}

ProtocolEngine::ProtocolEngine(const SimulatorConfig& config, const ChipBoard& board,
                               FaultInjector* faults)
    : config_(config), board_(board), faults_(faults), noise_(SimRandom::stream(config.seed, 5)) {}

void ProtocolEngine::dropPartialCommand() {
    inCommand_ = false;
    params_.clear();
    streamParamBytes_ = 0;
}

bool ProtocolEngine::feed(std::uint8_t byte, double now, std::vector<OutMessage>& out) {
    if (inCommand_ && now - lastByteAt_ > ParameterTimeout) {
        dropPartialCommand(); // the host gave up on it; this byte starts afresh
    }
    lastByteAt_ = now;
    if (!inCommand_) {
        const CommandInfo* row = FindCommand(byte);
        if (!row || byte == 0) {
            ++unknown_;
            char line[48];
            std::snprintf(line, sizeof line, "!Unknown command [0x%02x]\r", byte);
            if (!(faults_ && faults_->silent())) {
                OutMessage message;
                message.bytes.assign(line, line + std::strlen(line));
                out.push_back(std::move(message));
            }
            return false;
        }
        inCommand_ = true;
        code_ = byte;
        params_.clear();
        streamParamBytes_ = 0;
        paramsNeeded_ = row->paramBytes == -2
                            ? board_.streamSize()
                            : static_cast<std::size_t>(std::max(0, row->paramBytes));
    } else if (code_ == 'S') {
        ++streamParamBytes_; // a whole matrix of parameters: counted, not kept
    } else {
        params_.push_back(byte);
    }
    if (params_.size() + streamParamBytes_ < paramsNeeded_) {
        return false;
    }
    inCommand_ = false;
    execute(now, out);
    return true;
}

void ProtocolEngine::execute(double now, std::vector<OutMessage>& out) {
    ++commands_;
    lastCode_ = code_;
    const std::uint8_t code = code_;
    const bool silenced = faults_ && faults_->silenceCommand();
    std::uint8_t answerCode = code;
    const bool wrong = !silenced && faults_ && faults_->takeWrongCode(answerCode);

    applyCommand(code, params_.data(), now);
    if (silenced) {
        return;
    }
    OutMessage response;
    if (wrong) {
        // Answer in the other command's shape, with parameters that mean nothing harmful.
        std::vector<std::uint8_t> zeros(64, 0);
        response.bytes = buildResponse(answerCode, zeros.data(), now);
    } else {
        response.bytes = buildResponse(code, params_.data(), now);
    }
    out.push_back(std::move(response));
    if (code == '_') {
        OutMessage line;
        const std::string text = board_.resetAnswer(config_.resetRetries);
        line.bytes.assign(text.begin(), text.end());
        line.delay = ResetDuration;
        line.response = false;
        out.push_back(std::move(line));
    }
}

void ProtocolEngine::applyCommand(std::uint8_t code, const std::uint8_t* p, double now) {
    InterfaceState& s = state_;
    switch (code) {
    case ' ':
        ++syncs_;
        break;
    case '_': {
        const std::uint64_t resets = s.resets + 1;
        s = InterfaceState();
        s.resets = resets;
        break;
    }
    case 'b':
    case 'B':
        s.biasCode = code == 'b' ? p[0] : 0;
        if (biasCodesSent_.size() == MaxBiasCodesKept)
            biasCodesSent_.erase(biasCodesSent_.begin());
        biasCodesSent_.push_back(s.biasCode);
        break;
    case '>': {
        const std::uint16_t value = static_cast<std::uint16_t>(p[1] | (p[2] << 8));
        const std::uint16_t held = std::min<std::uint16_t>(value, 4095); // a 12-bit DAC
        s.dacs[p[0] & 15] = held;
        if (p[0] == 0) {
            s.thresholdDac = held;
        }
        break;
    }
    case 'A':
        s.scopeMode = p[0];
        s.sampleCount = std::min<std::uint16_t>(static_cast<std::uint16_t>(p[1] | (p[2] << 8)),
                                                MaxScopeSamples);
        s.scopeFinal = p[3];
        break;
    case 'a':
        ++s.singleShots;
        break;
    case 'Q':
        s.triggerMode = p[0];
        s.armedAt = now;
        ++s.armCount;
        break;
    case 'Z':
        s.intervalTicks = 0;
        for (int i = 5; i >= 0; --i) {
            s.intervalTicks = (s.intervalTicks << 8) | p[i];
        }
        s.intervalMode = p[6];
        s.intervalRunning = true;
        s.armedAt = now;
        ++s.armCount;
        break;
    case 'y':
    case 'H':
        s.intervalRunning = true;
        s.armedAt = now;
        ++s.armCount;
        break;
    case 'Y':
        s.intervalRunning = false;
        break;
    case 'l':
        s.waitingForTrigger = true;
        s.armedAt = now;
        ++s.armCount;
        break;
    case 'L':
        s.waitingForTrigger = false;
        break;
    case 'o':
        s.shutterOpen = true;
        s.shutterOpenedAt = now;
        s.matrixErased = false;
        break;
    case 'c':
    case 'C':
        if (s.shutterOpen) {
            s.exposureSeconds = now - s.shutterOpenedAt;
        }
        s.shutterOpen = false;
        break;
    case 'e':
        s.matrixErased = true;
        s.exposureSeconds = 0;
        break;
    case 'O':
        s.testPulses = static_cast<std::uint32_t>(p[0] | (p[1] << 8));
        break;
    case 'p':
        s.positivePolarity = false;
        break;
    case 'P':
        s.positivePolarity = true;
        break;
    case 'x':
        s.medipixPower = true;
        break;
    case 'X':
        s.medipixPower = false;
        break;
    default:
        break;
    }
}

std::array<std::uint16_t, 13> ProtocolEngine::monitorReadings() const {
    const double volts = biasVolts(state_.biasCode);
    std::array<std::uint16_t, 13> r{};
    r[0] = 2048; // +5 V digital supply, halved
    r[1] = 2703; // +3.3 V
    r[2] =
        static_cast<std::uint16_t>(std::lround(volts * 4096.0 / 100.0)); // bias, 100 V full scale
    r[3] = static_cast<std::uint16_t>(std::lround(180.0 + 6.0 * volts)); // detector current
    r[4] = 1638;                                                         // analogue supply
    r[5] = 1229;
    r[6] = 819;
    r[7] = 410;
    r[8] = 2867;
    r[9] = std::min<std::uint16_t>(state_.thresholdDac, 4095); // threshold, read back as set
    r[10] = 1120;                                              // board temperature
    r[11] = 1135;
    r[12] = 2048;
    return r;
}

std::vector<std::uint8_t> ProtocolEngine::frameResponse(std::uint8_t code, double now) {
    InterfaceState& s = state_;
    std::vector<std::uint16_t> values;
    double exposure = s.exposureSeconds;
    if (code == 'O') {
        board_.testPulseFrame(s.testPulses, values);
        exposure = 0;
    } else if (s.shutterOpen) {
        exposure = now - s.shutterOpenedAt; // read while exposing: what has been counted so far
        board_.exposureFrame(s.framesRead, exposure, values);
    } else if (s.matrixErased) {
        values.assign(board_.pixelCount(), 0);
    } else {
        board_.exposureFrame(s.framesRead, exposure, values);
    }
    ++s.framesRead;
    std::vector<std::uint8_t> stream = board_.encodeFrame(values);
    lastFrame_ = std::move(values);
    std::vector<std::uint8_t> bytes;
    bytes.reserve(1 + 6 + stream.size() + 3);
    bytes.push_back(code);
    appendTicks(bytes, exposure);
    bytes.insert(bytes.end(), stream.begin(), stream.end());
    appendOk(bytes);
    return bytes;
}

std::vector<std::uint8_t> ProtocolEngine::buildResponse(std::uint8_t code, const std::uint8_t* p,
                                                        double now) {
    const CommandInfo* row = FindCommand(code);
    std::vector<std::uint8_t> bytes;
    if (!row) {
        return bytes;
    }
    const InterfaceState& s = state_;
    switch (row->responseType) {
    case TimedFrameStream:
        return frameResponse(code, now);
    case ScopeData: {
        // Asked for directly, the scope shows what its input carries now: the baseline.
        std::vector<std::uint16_t> samples;
        pulse::shapeSamples(0.0, s.sampleCount, 0.0, noise_, samples);
        pulse::encodeScopeData(samples, pulse::MonitorTagA, monitorReadings()[2], bytes);
        return bytes;
    }
    default:
        break;
    }
    bytes.push_back(code);
    switch (row->responseType) {
    case OkOnly:
    case FrameStream:
        break;
    case StringParameter: {
        std::string text;
        switch (code) {
        case 'i':
            text = VersionText;
            break;
        case '?':
            for (int i = 0; i < CommandCount; ++i) {
                text += static_cast<char>(CommandTable[i].code);
            }
            break;
        case 'f':
            text = "FSR test passed";
            break;
        default:
            text = "Test passed";
            break;
        }
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back('\r');
        break;
    }
    case ChipIdList: {
        const auto ids = board_.chipIds();
        bytes.insert(bytes.end(), ids.begin(), ids.end());
        break;
    }
    default: {
        const std::size_t n = static_cast<std::size_t>(std::max(0, row->responseType));
        std::vector<std::uint8_t> body(n, 0);
        switch (code) {
        case ' ':
            std::memcpy(body.data(), SyncBody, std::min<std::size_t>(n, 36));
            break;
        case 'M': {
            const auto r = monitorReadings();
            for (std::size_t i = 0; i < 13 && 2 * i + 1 < n; ++i) {
                // The channel number rides in the high nibble; the reading is 12 bits.
                body[2 * i] = static_cast<std::uint8_t>((i << 4) | ((r[i] >> 8) & 0x0F));
                body[2 * i + 1] = static_cast<std::uint8_t>(r[i] & 0xFF);
            }
            break;
        }
        case '#':
            body[0] = static_cast<std::uint8_t>(board_.chips());
            break;
        case 'n':
            body[0] = s.positivePolarity ? 1 : 0;
            break;
        case '%': {
            std::vector<std::uint8_t> ticks;
            appendTicks(ticks, s.exposureSeconds);
            std::copy(ticks.begin(), ticks.end(), body.begin());
            break;
        }
        case 'z': {
            std::vector<std::uint8_t> state;
            appendTicks(state, s.intervalTicks);
            appendTicks(state, s.intervalRunning ? now - s.armedAt : 0.0);
            state.push_back(s.intervalMode);
            state.push_back(s.intervalRunning ? 1 : 0);
            std::copy(state.begin(), state.begin() + std::min(state.size(), n), body.begin());
            break;
        }
        case 'q':
            body[0] = s.triggerMode;
            body[1] = s.waitingForTrigger ? 1 : 0;
            break;
        case 'd': {
            // Checksum of the DAC settings as the chips confirm them.
            unsigned sum = 0;
            for (int i = 0; i < 33; ++i) {
                sum += p[i];
            }
            body[0] = static_cast<std::uint8_t>(sum & 0xFF);
            body[1] = static_cast<std::uint8_t>(sum >> 8);
            break;
        }
        case ':': // LVDS loop-back
            body[0] = p[0];
            body[1] = p[1];
            break;
        case '\'': // I2C loop-back
            body[0] = p[0];
            break;
        default:
            break;
        }
        bytes.insert(bytes.end(), body.begin(), body.end());
        break;
    }
    }
    appendOk(bytes);
    return bytes;
}

} // namespace tarvio
