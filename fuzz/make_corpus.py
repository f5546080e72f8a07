#!/usr/bin/env python3
"""Writes the seed corpus of link_fuzzer: one valid exchange of each kind the interface has.

Each file is a 4-byte header (mode, chip count, flags, attempts; see LinkFuzzTarget.h)
followed by the bytes the device sends. Run from anywhere; writes into fuzz/corpus/.
"""
import os

RECEIVE = 0
COMMANDS = ["_", "i", "|", "M", "m", "a", "#", "z", "d"]
LARGE, SYNC, SPREAD = 1, 2, 4
SYNC_ANSWER = b" 1234567890qwertyuiopasdfghjklzxcvbnmOK\r"


def cmd(c):
    return 1 + COMMANDS.index(c)


def scope(n, samples):
    return b"$" + bytes([n & 0xFF, n >> 8]) + samples


seeds = {
    "ok_only": (RECEIVE, 1, SYNC, b"_OK\r"),
    "string": (RECEIVE, 1, SYNC, b"iVersion 2.1\rOK\r"),
    "chip_id_two_chips": (RECEIVE, 2, SYNC, b"|\x00\xc4\xde\x10\x00\x00\x00\x00OK\r"),
    "chip_id_no_chips": (RECEIVE, 0, SYNC, b"|xOK\r"),
    "fixed_26": (RECEIVE, 1, SYNC, b"M" + bytes(range(26)) + b"OK\r"),
    "fixed_1": (RECEIVE, 1, SYNC, b"#\x02OK\r"),
    "scope_data": (RECEIVE, 1, SYNC, scope(3, b"\x10\x02\x20\x03\x30\x04\x40\x05") + b"OK\r"),
    "scope_short": (RECEIVE, 1, SYNC | SPREAD, scope(3, b"\x10\x02\x20\x03\x30\x04") + b"OK\r"),
    "scope_ffff": (RECEIVE, 1, SYNC, scope(0xFFFF, b"") + b"OK\r"),
    "timed_frame_no_chips": (RECEIVE, 0, SYNC, b"m\x00\x2d\x31\x01\x00\x00OK\r"),
    "timed_frame_huge_count": (RECEIVE, 200, SYNC, b"m" + bytes(200)),
    "error_on_line": (RECEIVE, 1, SYNC, b"!Unit is on line.\r"),
    "error_line": (RECEIVE, 1, SYNC, b"!Overheat\r"),
    "text_message": (RECEIVE, 1, SYNC, b'"Hello"\r'),
    "group": (RECEIVE, 1, SYNC, b'["pulse"\r' + scope(1, b"\x01\x02\x03\x04") + b"OK\r]"),
    "group_empty": (RECEIVE, 1, SYNC, b"[]"),
    "sync_answer": (RECEIVE, 1, SYNC, SYNC_ANSWER),
    "unknown_code": (RECEIVE, 1, SYNC, b"N" + SYNC_ANSWER),
    "garbage_then_sync": (RECEIVE, 1, SYNC, b"\xff\x00garbage" + SYNC_ANSWER),
    "cmd_reset": (cmd("_"), 1, SYNC, b"_OK\r!Unit is on line. Medipix chips: 1 Ready\r"),
    "cmd_version_after_text": (cmd("i"), 1, SYNC, b'"busy"\riTPX\rOK\r'),
    "cmd_chip_id": (cmd("|"), 1, LARGE | SYNC, b"|\x00\xc4\xde\x10OK\r"),
    "cmd_adc_short": (cmd("M"), 1, SYNC, b"M" + bytes(10)),
    "cmd_read_matrix_no_chips": (cmd("m"), 0, LARGE | SYNC, b"m" + bytes(6) + b"OK\r"),
    "cmd_scope_after_group": (cmd("a"), 1, SYNC,
                              b"[" + scope(0, b"\x05\x06") + b"OK\r]aOK\r"),
    "cmd_other_response": (cmd("#"), 1, SYNC, b"_OK\r#\x01OK\r"),
    "cmd_timer_state": (cmd("z"), 1, SYNC | SPREAD, b"z" + bytes(range(14)) + b"OK\r"),
    "cmd_dacs_three_attempts": (cmd("d"), 1, SYNC, b"d\x01\x02OK\r"),
    "cmd_silent": (cmd("_"), 1, 0, b""),
}

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "corpus")
os.makedirs(out, exist_ok=True)
for name, (mode, chips, flags, body) in seeds.items():
    attempts = 2 if name == "cmd_dacs_three_attempts" else 0
    with open(os.path.join(out, name), "wb") as f:
        f.write(bytes([mode, chips, flags, attempts]) + body)
