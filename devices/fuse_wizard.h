// The fuse wizard's behaviour without any toolkit: what its two drop-down lists (clock source
// and start-up time) hold and select, how a choice rewrites the low fuse byte, and which log
// message a mismatch produces. The lists are plain data that a view copies into its controls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "messages/log_messages.h"

namespace velkor {

struct ClockWizard;  // clock_wizard.h

// Control identifiers of the two lists in the main window.
constexpr int kClockListId = 1030;
constexpr int kStartupListId = 1031;

// Produced when the low fuse byte matches no clock source of the chip. It has no line break,
// so the next log line continues on the same row, as users of the program have always seen.
inline constexpr const char* kInvalidClockMessage = MsgZh(Msg::kInvalidClock);
// Produced when the start-up bits match no entry of the chosen source's group.
inline constexpr const char* kInvalidStartupMessage = MsgZh(Msg::kInvalidStartup);

constexpr int kNoSelection = -1;

// One drop-down list: its entries in table order (a position is an index into the table),
// the selected position, and whether it is shown.
struct WizardList {
    std::vector<std::string> entries;
    int selection = kNoSelection;
    bool visible = true;
    bool operator==(const WizardList&) const = default;
};

struct WizardLists {
    WizardList clock;    // list 1030
    WizardList startup;  // list 1031
    bool operator==(const WizardLists&) const = default;
};

// Fills the clock list with the wizard's sources (at most 20, up to the first empty
// description), clears its selection, and shows it only when it holds an entry.
void FillClockList(const ClockWizard& wizard, WizardList& clockList);

// Fills the start-up list with the group of the source selected in the clock list; with no
// source selected the list is emptied and hidden.
void FillStartupList(const ClockWizard& wizard, const WizardList& clockList,
                     WizardList& startupList);

// The user picked the source at `position`: rewrites the low byte's clock bits (bits that the
// source's start-up group owns and bits outside the clock mask keep their values), refills the
// start-up list and selects the entry matching the new bits. Returns the message for the log
// (empty when the start-up bits match an entry). A position outside the list changes nothing.
std::string ApplyClockOption(const ClockWizard& wizard, int position, WizardLists& lists,
                             std::uint8_t& fuseLow);

// The user picked the start-up entry at `position` for the selected source: rewrites only the
// bits inside the group's start-up mask. Without a selected source, or with a position outside
// the list, nothing changes.
void ApplyStartupOption(const ClockWizard& wizard, int position, WizardLists& lists,
                        std::uint8_t& fuseLow);

// Selects the source and start-up entries that match the low byte. Returns the message for the
// log, or an empty string. When no source matches, the selections stay as they were.
std::string SyncWizardFromFuses(const ClockWizard& wizard, std::uint8_t fuseLow,
                                WizardLists& lists);

// The wizard part of showing a chip: refills the clock list, empties the start-up list (which
// keeps its visibility) and synchronises from the low byte. Returns the message for the log.
std::string ShowWizardForChip(const ClockWizard& wizard, std::uint8_t fuseLow, WizardLists& lists);

// The 89S5x family has no fuse wizard: both lists are hidden.
void HideWizard(WizardLists& lists);

}  // namespace velkor
