#include "skin/LanguageKeys.h"

#include <array>

namespace zonda {
namespace {

using namespace std::string_view_literals;

constexpr std::array kKeys = {
    // General
    "ok"sv, "cancel"sv, "update"sv, "defaults"sv, "yes"sv, "no"sv, "load"sv, "save"sv, "reset"sv, "resetall"sv,
    "entervalidnumber"sv, "month3"sv, "list"sv, "shortcuts"sv, "none"sv,
    // Main window messages and captions
    "main_confirmclearlist"sv, "main_songs"sv, "main_empty"sv, "main_deckempty"sv, "main_confirmexit"sv,
    "main_fileisdamaged"sv, "main_loadsong"sv, "main_pressspace"sv, "main_deckaplaying"sv, "main_deckbplaying"sv,
    "main_deckloading"sv, "main_filteroff"sv, "main_changeresolution"sv, "main_createnewlist"sv,
    "main_enterlistname"sv, "main_cantdeletelist"sv, "main_confirmdeletelist"sv, "main_canteditlist"sv,
    "main_editlist"sv, "main_enternewlistname"sv, "main_exportlist"sv, "main_exportedhtmltitle"sv,
    "main_listname"sv, "main_confirmremovesongs"sv, "main_confirm_part2"sv, "main_editlockbpm"sv,
    "main_confirmphysicaldelete"sv, "main_confirmphysicaldelete_part2"sv, "main_confirmphysicaldelete_single"sv,
    "main_accesdenied"sv, "main_lockcolumnsorting"sv, "main_lockcolumnsize"sv,
    // Row pop-up menu of the song list
    "listmenu_preview"sv, "listmenu_loaddecka"sv, "listmenu_loaddeckb"sv, "listmenu_fileoptions"sv,
    "listmenu_physicaldelete"sv, "listmenu_removealldead"sv, "listmenu_taginfo"sv,
    // BPM dialog
    "editbpm_bpmvalue"sv, "editbpm_bpmlock"sv,
    // Tag editor and list columns
    "tag_windowtitle"sv, "tag_title"sv, "tag_artist"sv, "tag_album"sv, "tag_track"sv, "tag_year"sv, "tag_genre"sv,
    "tag_comment"sv, "tag_exists"sv, "tag_cantsavetag"sv, "tag_number"sv, "tag_bpm"sv, "tag_filename"sv,
    // Configuration dialog
    "config_windowtitle"sv, "config_skinrequireshigherres"sv, "config_generalsettingstab"sv, "config_mastertempo"sv,
    "config_autobeatmatching"sv, "config_showhints"sv, "config_resetdeck"sv, "config_dispstdwaveform"sv,
    "config_selskin"sv, "config_sellanguage"sv, "config_midishortcutstab"sv, "config_assignevents"sv,
    "config_waitingevents"sv, "config_learnevents"sv, "config_stoplearning"sv, "config_action"sv,
    "config_shortcut"sv, "config_confirmresetall"sv,
    // Folder chooser
    "adddir_windowtitle"sv, "adddir_choose"sv, "adddir_recurse"sv,
    // Song list control
    "ls_hint"sv, "ls_search"sv,
};

}  // namespace

std::span<const std::string_view> LanguageKeys() { return kKeys; }

int FindLanguageKey(std::string_view key) {
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    if (kKeys[i] == key) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace zonda
