#!/usr/bin/env python3
"""velkorisp-cli fuses against a model of the fuse panel and wizard written apart from devices/.

The tables below are a second transcription of the chips' fuse masks, fuse bit names, clock
sources and start-up groups; the rules are the panel's and the wizard's as the user sees them.
The program's answer for every chip's defaults, seeded random bytes and every pair of clock and
start-up position must equal the model's, record for record.

Usage: fuse_calculator_model_test.py PATH-TO-velkorisp-cli
"""
import random
import subprocess
import sys

# Chip name -> (changeable-bit masks low/high/extended, fuse bit name set, wizard).
CHIPS = {
    "tiny13": ((0x7F, 0x1F, 0x00), "tiny13", "tiny13"),
    "tiny15": ((0xD3, 0x00, 0x00), "tiny15", "tiny15"),
    "tiny26": ((0xFF, 0x17, 0x00), "tiny26", "tiny26"),
    "tiny2313": ((0xFF, 0xDF, 0x01), "tiny2313", "tiny2313"),
    "mega48": ((0xFF, 0xDF, 0x01), "mega48", "mega48"),
    "mega88": ((0xFF, 0xDF, 0x07), "mega88", "mega48"),
    "mega168": ((0xFF, 0xDF, 0x07), "mega88", "mega48"),
    "mega8": ((0xFF, 0xDF, 0x00), "mega8", "mega8"),
    "mega16": ((0xFF, 0xDF, 0x00), "mega16", "mega8"),
    "mega162": ((0xFF, 0xDF, 0x1E), "mega162", "mega162"),
    "mega165": ((0xFF, 0xDF, 0x0F), "mega165", "mega165"),
    "mega169": ((0xFF, 0xDF, 0x0F), "mega165", "mega165"),
    "mega8515": ((0xFF, 0xDF, 0x00), "mega8515", "mega8"),
    "mega8535": ((0xFF, 0xDF, 0x00), "mega8535", "mega8"),
    "mega32": ((0xFF, 0xDF, 0x00), "mega16", "mega8"),
    "mega325": ((0xFF, 0xDF, 0x07), "mega325", "mega165"),
    "mega3250": ((0xFF, 0xDF, 0x07), "mega325", "mega165"),
    "mega329": ((0xFF, 0xDF, 0x07), "mega325", "mega165"),
    "mega3290": ((0xFF, 0xDF, 0x07), "mega325", "mega165"),
    "mega645": ((0xFF, 0xDF, 0x07), "mega325", "mega165"),
    "mega6450": ((0xFF, 0xDF, 0x07), "mega325", "mega165"),
    "mega649": ((0xFF, 0xDF, 0x07), "mega325", "mega165"),
    "mega6490": ((0xFF, 0xDF, 0x07), "mega325", "mega165"),
    "mega64": ((0xFF, 0xDF, 0x03), "mega128", "mega8"),
    "mega128": ((0xFF, 0xDF, 0x03), "mega128", "mega8"),
    "tiny12": ((0xFF, 0x00, 0x00), "tiny12", "none"),
    "90CAN128": ((0xFF, 0xDF, 0x0F), "none", "none"),
    "90S1200": ((0x00, 0x00, 0x00), "none", "none"),
    "90S2313": ((0x00, 0x00, 0x00), "none", "none"),
    "90S4414": ((0x00, 0x00, 0x00), "none", "none"),
    "90S8515": ((0x00, 0x00, 0x00), "none", "none"),
    "90S2333": ((0x1F, 0x00, 0x00), "none", "none"),
    "90S4433": ((0x1F, 0x00, 0x00), "none", "none"),
    "90S4434": ((0x01, 0x00, 0x00), "none", "none"),
    "90S8535": ((0x01, 0x00, 0x00), "none", "none"),
    "90S2323": ((0x01, 0x00, 0x00), "none", "none"),
    "90S2343": ((0x01, 0x00, 0x00), "none", "none"),
    "tiny22": ((0x01, 0x00, 0x00), "none", "none"),
    "mega161": ((0x5F, 0x00, 0x00), "none", "none"),
    "mega163": ((0xCF, 0x07, 0x00), "none", "none"),
    "mega323": ((0xCF, 0xCF, 0x00), "none", "none"),
    "mega603": ((0x0B, 0x00, 0x00), "none", "none"),
    "mega103": ((0x0B, 0x00, 0x00), "none", "none"),
}

# Set -> names of bits 0..7 of the low, high and extended byte; None: no such bit.
FUSE_NAMES = {
    "tiny12": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "RSTDISBL", "SPIEN", "BODEN", "BODLEVEL"],
        [None, None, None, None, None, None, None, None],
        [None, None, None, None, None, None, None, None],
    ],
    "tiny13": [
        ["CKSEL0", "CKSEL1", "SUT0", "SUT1", "CKDIV8", "WDTON", "EESAVE", "SPIEN"],
        ["RSTDISBL", "BODLEVEL0", "BODLEVEL1", "DWEN", "SELFPRGEN", None, None, None],
        [None, None, None, None, None, None, None, None],
    ],
    "tiny15": [
        ["CKSEL0", "CKSEL1", None, None, "RSTDISBL", "SPIEN", "BODEN", "BODLEVEL"],
        [None, None, None, None, None, None, None, None],
        [None, None, None, None, None, None, None, None],
    ],
    "tiny26": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "PLLCK"],
        ["BODEN", "BODLEVEL", "EESAVE", "SPIEN", "RSTDISBL", None, None, None],
        [None, None, None, None, None, None, None, None],
    ],
    "tiny2313": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8"],
        ["RSTDISBL", "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "WDTON", "SPIEN", "EESAVE", "DWEN"],
        ["SELFPRGEN", None, None, None, None, None, None, None],
    ],
    "mega48": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8"],
        ["BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL"],
        ["SPMEN", None, None, None, None, None, None, None],
    ],
    "mega88": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8"],
        ["BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL"],
        ["BOOTRST", "BOOTSZ0", "BOOTSZ1", None, None, None, None, None],
    ],
    "mega8": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEVEL"],
        ["BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "WDTON", "RSTDISBL"],
        [None, None, None, None, None, None, None, None],
    ],
    "mega16": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEVEL"],
        ["BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "JTAGEN", "OCDEN"],
        [None, None, None, None, None, None, None, None],
    ],
    "mega8515": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEVEL"],
        ["BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "WDTON", "S8515C"],
        [None, None, None, None, None, None, None, None],
    ],
    "mega8535": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEVEL"],
        ["BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "WDTON", "S8535C"],
        [None, None, None, None, None, None, None, None],
    ],
    "mega162": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8"],
        ["BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN"],
        ["BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "M161c", None, None, None, None],
    ],
    "mega165": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8"],
        ["BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN"],
        ["", "BODLEVEL0", "BODLEVEL1", "BODLEVEL2", None, None, None, None],
    ],
    "mega325": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8"],
        ["BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "JTAGEN", "OCDEN"],
        ["RSTDISBL", "BODLEVEL0", "BODLEVEL1", None, None, None, None, None],
    ],
    "mega128": [
        ["CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEVEL"],
        ["BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "JTAGEN", "OCDEN"],
        ["WDTON", "M103C", None, None, None, None, None, None],
    ],
    "none": [
        [None, None, None, None, None, None, None, None],
        [None, None, None, None, None, None, None, None],
        [None, None, None, None, None, None, None, None],
    ],
}

# Start-up group -> (mask, [(value, description), ...]).
GROUPS = {
    "S1": (0x31, [
        (0x00, "陶瓷谐振器，电源快速上升"),
        (0x10, "陶瓷谐振器，电源缓慢上升"),
        (0x20, "陶瓷谐振器， BOD 使能"),
        (0x30, "陶瓷谐振器，电源快速上升"),
        (0x01, "陶瓷谐振器，电源缓慢上升"),
        (0x11, "石英振荡器， BOD 使能"),
        (0x21, "石英振荡器，电源快速上升"),
        (0x31, "石英振荡器，电源慢速上升"),
    ]),
    "S2": (0x30, [
        (0x00, "电源快速上升或BOD 使能"),
        (0x10, "电源缓慢上升"),
        (0x20, "启动时频率已经稳定"),
    ]),
    "S3": (0x31, [
        (0x00, "BOD 使能 1k CK"),
        (0x10, "电源快速上升 1k CK"),
        (0x20, "电源缓慢上升 1k CK"),
        (0x01, "BOD 使能 32k CK"),
        (0x11, "电源快速上升 32k CK"),
        (0x21, "电源缓慢上升 32k CK"),
    ]),
    "S4": (0x30, [
        (0x00, "BOD 使能"),
        (0x10, "电源快速上升"),
        (0x20, "电源缓慢上升"),
        (0x30, "电源快速上升或BOD 使能"),
    ]),
    "S5": (0x30, [
        (0x00, "BOD 使能"),
        (0x10, "电源快速上升"),
        (0x20, "电源缓慢上升"),
    ]),
    "S6": (0x0C, [
        (0x00, "BOD 使能"),
        (0x04, "电源快速上升"),
        (0x08, "电源缓慢上升"),
    ]),
    "S7": (0x30, [
        (0x00, "BOD 使能"),
        (0x10, "电源快速上升"),
        (0x20, "电源缓慢上升 1k CK "),
        (0x30, "电源缓慢上升 16k CK "),
    ]),
    "S8": (0x03, [
        (0x00, "BOD禁止，慢速上升电源"),
        (0x01, "BOD禁止，慢速上升电源"),
        (0x02, "BOD禁止，快速上升电源"),
        (0x03, "BOD"),
    ]),
}

# Wizard -> (clock mask, [(value, description, start-up group), ...]).
WIZARDS = {
    "mega8": (0x0F, [
        (0x01, "内部RC振荡1MHZ", "S5"),
        (0x02, "内部RC振荡2MHZ", "S5"),
        (0x03, "内部RC振荡4MHZ", "S5"),
        (0x04, "内部RC振荡8MHZ", "S5"),
        (0x0A, "石英/陶瓷振荡器(0.4-0.9MHZ)", "S1"),
        (0x0C, "石英/陶瓷振荡器(0.9-3.0MHZ)", "S1"),
        (0x0E, "石英/陶瓷振荡器(3.0-8.0MHZ)", "S1"),
        (0x09, "低频晶振(32.768KHZ)", "S2"),
        (0x00, "外部时钟(有源晶振)", "S5"),
        (0x05, "外部RC振荡≤0.9MHZ\t", "S4"),
        (0x06, "\t外部RC振荡0.9-3.0MHZ", "S4"),
        (0x07, "外部RC振荡3.0-8.0MHZ", "S4"),
        (0x08, "\t外部RC振荡8.0-12.0MHZ", "S4"),
    ]),
    "mega48": (0x0F, [
        (0x08, "低功耗晶振0.4-0.9MHZ(仅陶瓷)", "S1"),
        (0x0A, "低功耗晶振0.9-3.0MHZ", "S1"),
        (0x0C, "低功耗晶振3.0-8.0MHZ", "S1"),
        (0x0E, "低功耗晶振8.0-16.0MHZ", "S1"),
        (0x0E, "满振幅晶振\t振荡器(0.4-25MHZ)", "S1"),
        (0x02, "内部可调RC振荡8MHZ", "S5"),
        (0x03, "内部RC振荡128KHZ", "S5"),
        (0x04, "低频晶振(32.768KHZ)", "S3"),
        (0x00, "外部时钟(有源晶振)", "S5"),
    ]),
    "tiny13": (0x03, [
        (0x02, "内部可调RC振荡9.6MHZ", "S6"),
        (0x01, "内部可调RC振荡4.8MHZ", "S6"),
        (0x03, "内部RC振荡128KHZ", "S6"),
        (0x00, "外部时钟(有源晶振)", "S6"),
    ]),
    "tiny2313": (0x0F, [
        (0x02, "内部RC振荡4MHZ", "S5"),
        (0x04, "内部RC振荡8MHZ", "S5"),
        (0x08, "晶振0.4-0.9MHZ(仅陶瓷)", "S1"),
        (0x0A, "晶振0.9-3.0MHZ", "S1"),
        (0x0C, "晶振3.0-8.0MHZ", "S1"),
        (0x0E, "晶振8.0-16.0MHZ", "S1"),
        (0x00, "外部时钟(有源晶振)", "S5"),
        (0x06, "内部RC振荡128KHZ", "S5"),
    ]),
    "tiny26": (0x8F, [
        (0x81, "内部RC振荡1MHZ", "S5"),
        (0x82, "内部RC振荡2MHZ", "S5"),
        (0x83, "内部RC振荡4MHZ", "S5"),
        (0x84, "内部RC振荡8MHZ", "S5"),
        (0x8A, "陶瓷振荡器(0.4-0.9MHZ)", "S1"),
        (0x8C, "石英/陶瓷振荡器(0.9-3.0MHZ)", "S1"),
        (0x8E, "石英/陶瓷振荡器(3.0-16.0MHZ)", "S1"),
        (0x89, "低频晶振(32.768KHZ)", "S2"),
        (0x01, "PLL时钟", "S7"),
        (0x80, "外部时钟(有源晶振)", "S5"),
        (0x85, "外部RC振荡≤0.9MHZ\t", "S4"),
        (0x86, "\t外部RC振荡0.9-3.0MHZ", "S4"),
        (0x87, "外部RC振荡3.0-8.0MHZ", "S4"),
        (0x88, "\t外部RC振荡8.0-12.0MHZ", "S4"),
    ]),
    "mega165": (0x0F, [
        (0x08, "陶瓷振荡器(0.4-0.9MHZ)", "S1"),
        (0x0A, "石英/陶瓷振荡器(0.9-3.0MHZ)", "S1"),
        (0x0C, "石英/陶瓷振荡器(3.0-8.0MHZ)", "S1"),
        (0x0E, "石英/陶瓷振荡器(8-16MHZ)", "S1"),
        (0x02, "内部可调RC振荡8MHZ", "S5"),
        (0x03, "内部RC振荡128KHZ", "S5"),
        (0x06, "低频晶振(32.768KHZ)", "S2"),
        (0x00, "外部时钟(有源晶振)", "S5"),
    ]),
    "mega162": (0x0F, [
        (0x08, "陶瓷振荡器(0.4-0.9MHZ)", "S1"),
        (0x0A, "石英/陶瓷振荡器(0.9-3.0MHZ)", "S1"),
        (0x0C, "石英/陶瓷振荡器(3.0-8.0MHZ)", "S1"),
        (0x0E, "石英/陶瓷振荡器(8-16MHZ)", "S1"),
        (0x02, "内部可调RC振荡8MHZ", "S5"),
        (0x03, "内部RC振荡128KHZ", "S5"),
        (0x04, "低频晶振(32.768KHZ)", "S2"),
        (0x06, "低频晶振(32.768KHZ),使用内部电容", "S2"),
        (0x00, "外部时钟(有源晶振)", "S5"),
    ]),
    "tiny15": (0x00, [
        (0x00, "内部RC振荡1.6MHz", "S8"),
    ]),
    "none": (0x00, []),
}

INVALID_CLOCK = "无效的时钟设置!"
INVALID_STARTUP = "无效的启动时间设置!"
LIST_LIMIT = 20  # the lists never show more entries of a table


def startup_search(low, group):
    mask, options = GROUPS[group]
    for position, (value, _) in enumerate(options[:LIST_LIMIT]):
        if value == low & mask:
            return position, None
    return None, INVALID_STARTUP


def synchronise(low, wizard):
    """The selections a refresh of the chip view derives from the low byte, and its message."""
    clock_mask, options = WIZARDS[wizard]
    for i in range(LIST_LIMIT):
        if i >= len(options):
            return None, None, INVALID_CLOCK
        value, _, group = options[i]
        startup_mask = GROUPS[group][0]
        if (low & clock_mask) & ~(clock_mask & startup_mask) & 0xFF == value:
            startup, message = startup_search(low, group)
            return i, startup, message
    return None, None, None


def model(chip, fuses, clock=None, startup=None):
    """Expected output lines, or None when the program must refuse the case."""
    masks, names, wizard = CHIPS[chip]
    clock_mask, options = WIZARDS[wizard]
    fuses = list(fuses)
    lines = []
    if clock is not None:
        if clock >= min(len(options), LIST_LIMIT):
            return None
        value, _, group = options[clock]
        group_mask, group_options = GROUPS[group]
        fuses[0] = (fuses[0] & ~(clock_mask & ~group_mask) | value) & 0xFF
        if startup is not None:
            if startup >= min(len(group_options), LIST_LIMIT):
                return None
            fuses[0] = (fuses[0] & ~group_mask | group_options[startup][0]) & 0xFF
        lines.append("low\t%02X" % fuses[0])
    for k in range(3):
        for i in range(8):
            name = FUSE_NAMES[names][k][i]
            if not name:
                continue
            bit = fuses[k] >> i & 1
            lines.append("box\t%d\t%s\t%d\t%s\t%s" % (
                1100 + 8 * k + i, name, bit, "checked" if bit == 0 else "unchecked",
                "changeable" if masks[k] >> i & 1 else "fixed"))
    clock_sel, startup_sel, message = synchronise(fuses[0], wizard)
    if clock_sel is None:
        lines += ["clock\t-", "startup\t-"]
    else:
        _, description, group = options[clock_sel]
        lines.append("clock\t%d\t%s" % (clock_sel, description))
        if startup_sel is None:
            lines.append("startup\t-")
        else:
            lines.append("startup\t%d\t%s" % (startup_sel, GROUPS[group][1][startup_sel][1]))
    if message:
        lines.append("message\t" + message)
    return lines


def run(cli, args):
    done = subprocess.run([cli, "fuses"] + args, capture_output=True, timeout=30)
    return done.returncode, done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


def main():
    cli = sys.argv[1]
    rng = random.Random(20240611)
    cases = []
    for chip in CHIPS:
        wizard = CHIPS[chip][2]
        options = WIZARDS[wizard][1]
        byte_sets = [(0xFF, 0xFF, 0xFF), (0x00, 0x00, 0x00)]
        byte_sets += [tuple(rng.randrange(256) for _ in range(3)) for _ in range(6)]
        for fuses in byte_sets:
            cases.append((chip, fuses, None, None))
        # Every clock source with no start-up choice, with each of its start-up positions and
        # with one past their end; then one clock position past the end. Only the base bytes
        # are drawn at random: every bit pattern a wizard can set is written once.
        for clock in range(len(options) + 1):
            startups = [None]
            if clock < len(options):
                startups += list(range(len(GROUPS[options[clock][2]][1]) + 1))
            for startup in startups:
                fuses = tuple(rng.randrange(256) for _ in range(3))
                cases.append((chip, fuses, clock, startup))

    failures = 0
    for chip, fuses, clock, startup in cases:
        separator = ":" if rng.random() < 0.5 else ","
        args = ["--chip", chip, "--fuses", separator.join("%02X" % b for b in fuses)]
        if clock is not None:
            args += ["--clock", str(clock)]
        if startup is not None:
            args += ["--startup", str(startup)]
        expected = model(chip, fuses, clock, startup)
        status, out, err = run(cli, args)
        if expected is None:
            ok = status == 2 and out == "" and err.strip() != ""
        else:
            ok = status == 0 and out == "".join(line + "\n" for line in expected)
        if not ok:
            failures += 1
            print("MISMATCH velkorisp-cli fuses " + " ".join(args))
            print("  status %d, stderr %r" % (status, err))
            print("  got:\n    " + "\n    ".join(out.splitlines()))
            print("  expected:\n    " + "\n    ".join(expected or ["(refusal, status 2)"]))

    refusals = [
        ["--chip", "mega9", "--fuses", "E1:D9:00"],     # no such chip
        ["--chip", "89S52", "--fuses", "00:00:00"],     # 89S5x: no fuse bytes
        ["--chip", "89S51", "--fuses", "00:00:00"],
        ["--chip", "L", "--fuses", "00:00:00"],         # the locked-chip row is no chip
        ["--chip", "mega8", "--fuses", "G1:D9:00"],     # bad bytes
        ["--chip", "mega8", "--fuses", "E1:D9"],
        ["--chip", "mega8", "--fuses", "1E1:D9:00"],
        ["--chip", "mega8", "--fuses", "E1:D9:00:00"],
        ["--chip", "mega8", "--fuses", "E1:D9:00", "--startup", "1"],  # no clock chosen
        ["--chip", "tiny12", "--fuses", "D2:00:00", "--clock", "0"],   # empty wizard
        ["--chip", "", "--fuses", "E1:D9:00"],
    ]
    for args in refusals:
        status, out, err = run(cli, args)
        if status != 2 or out != "" or err.strip() == "":
            failures += 1
            print("NOT REFUSED velkorisp-cli fuses %s: status %d, out %r" % (args, status, out))

    print("%d cases, %d refusals, %d failures" % (len(cases), len(refusals), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
