#include "sim/SimFaults.h"

#include <algorithm>

namespace tarvio {

SimFault SimFault::drop(std::size_t count, std::size_t position, SimFaultTarget target) {
    SimFault f;
    f.kind = SimFaultKind::DropBytes;
    f.count = count;
    f.position = position;
    f.target = target;
    return f;
}

SimFault SimFault::corrupt(std::size_t count, std::size_t position, SimFaultTarget target) {
    SimFault f;
    f.kind = SimFaultKind::CorruptBytes;
    f.count = count;
    f.position = position;
    f.target = target;
    return f;
}

SimFault SimFault::insert(std::vector<std::uint8_t> bytes, SimFaultTarget target) {
    SimFault f;
    f.kind = SimFaultKind::InsertBytes;
    f.count = bytes.empty() ? 1 : bytes.size();
    f.bytes = std::move(bytes);
    f.target = target;
    return f;
}

SimFault SimFault::cutShort(std::size_t keep, SimFaultTarget target) {
    SimFault f;
    f.kind = SimFaultKind::CutShort;
    f.position = keep;
    f.target = target;
    return f;
}

SimFault SimFault::stopAnswering(std::size_t commands) {
    SimFault f;
    f.kind = SimFaultKind::StopAnswering;
    f.count = commands;
    return f;
}

SimFault SimFault::wrongCode(std::uint8_t code) {
    SimFault f;
    f.kind = SimFaultKind::WrongCode;
    f.code = code;
    return f;
}

SimFault SimFault::errorLine(std::string text, SimFaultTarget target) {
    SimFault f;
    f.kind = SimFaultKind::ErrorLine;
    f.text = std::move(text);
    f.target = target;
    return f;
}

void FaultInjector::arm(const SimFault& fault) {
    if (fault.kind == SimFaultKind::StopAnswering) {
        if (fault.count == 0) {
            silentForever_ = true;
        } else {
            silentCommands_ += fault.count;
        }
        return;
    }
    faults_.push_back(fault);
}

bool FaultInjector::holds(const SimFault& fault) const {
    if (fault.kind == SimFaultKind::StopAnswering) {
        return silentCommands_ > 0 || silentForever_;
    }
    return std::any_of(faults_.begin(), faults_.end(), [&](const SimFault& f) {
        return f.kind == fault.kind && f.target == fault.target;
    });
}

void FaultInjector::clear() {
    faults_.clear();
    silentCommands_ = 0;
    silentForever_ = false;
}

bool FaultInjector::silenceCommand() {
    if (silentForever_) {
        return true;
    }
    if (silentCommands_ > 0) {
        --silentCommands_;
        return true;
    }
    return false;
}

bool FaultInjector::takeWrongCode(std::uint8_t& code) {
    auto it = std::find_if(faults_.begin(), faults_.end(),
                           [](const SimFault& f) { return f.kind == SimFaultKind::WrongCode; });
    if (it == faults_.end()) {
        return false;
    }
    code = it->code;
    faults_.erase(it);
    return true;
}

FaultedMessage FaultInjector::apply(std::vector<std::uint8_t> message, SimFaultTarget target) {
    FaultedMessage out;
    auto it = std::find_if(faults_.begin(), faults_.end(), [&](const SimFault& f) {
        return f.target == target && f.kind != SimFaultKind::WrongCode;
    });
    if (it == faults_.end()) {
        out.bytes = std::move(message);
        return out;
    }
    const SimFault fault = *it;
    faults_.erase(it);
    const std::size_t size = message.size();
    const std::size_t from = std::min(fault.position, size);
    const std::size_t to = std::min(size, from + fault.count);
    switch (fault.kind) {
    case SimFaultKind::DropBytes:
        message.erase(message.begin() + static_cast<std::ptrdiff_t>(from),
                      message.begin() + static_cast<std::ptrdiff_t>(to));
        out.intact = from == to;
        break;
    case SimFaultKind::CorruptBytes:
        for (std::size_t i = from; i < to; ++i) {
            message[i] = static_cast<std::uint8_t>(~message[i]);
        }
        out.intact = from == to;
        break;
    case SimFaultKind::InsertBytes:
        out.before = fault.bytes;
        if (out.before.empty()) {
            for (std::size_t i = 0; i < fault.count; ++i) {
                out.before.push_back(static_cast<std::uint8_t>(rng_.below(256)));
            }
        }
        break;
    case SimFaultKind::CutShort:
        out.intact = fault.position >= size;
        message.resize(std::min(size, fault.position));
        break;
    case SimFaultKind::ErrorLine:
        out.before.push_back('!');
        out.before.insert(out.before.end(), fault.text.begin(), fault.text.end());
        out.before.push_back('\r');
        break;
    case SimFaultKind::StopAnswering:
    case SimFaultKind::WrongCode:
        break;
    }
    out.bytes = std::move(message);
    return out;
}

} // namespace tarvio
