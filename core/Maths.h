#pragma once
// Maths is the program's shared state (the name is the one the rest of the
// program knows it by; it does no arithmetic). It holds:
// - the reader's connection: whether a reader answered, and on which port;
// - the key table: which function key types which card field (SetKey.txt);
// - the card on show: its eight values, wiped when replaced or forgotten;
// - the settings in use: KeyEntry.ini over the site's shared settings file,
//   and what became of the shared file (path, version, status, local copy);
// - the new-card rule of typing on read, and the checks of the card on show
//   (worked out once per read, with that read's date).
// Its procedures start and stop the program around that state: the port
// search and the keyboard hook at start-up and at each click of the read
// button, the key table written back at shut-down, the settings loaded
// again; and every change of keys, card or settings is handed to the hook's
// thread as one table. Maths opens the reader's port and closes it again.
#include <functional>
#include <memory>
#include <string>

#include "core/CardChecks.h"
#include "core/CardField.h"
#include "core/FileStore.h"
#include "core/HookTable.h"
#include "core/KeyboardHook.h"
#include "core/MessageSink.h"
#include "core/NewCardRule.h"
#include "core/ReaderLibrary.h"
#include "core/ReaderTrouble.h"
#include "core/SettingsFile.h"
#include "core/SharedSettings.h"
#include "core/TextCodec.h"

namespace keyentry {

// The platform services the core works through.
struct CorePorts {
  ReaderLibrary& reader;
  KeyboardHook& hook;
  FileStore& files;
  const TextCodec& codec;
  MessageSink& messages;
  // Code page 936: KeyEntry.ini when it is not valid UTF-8 (as older
  // Notepad saves it), whatever the system's ANSI code page.
  const TextCodec& settingsCodec;
};

// What a search of the reader's ports found: USB ports 1001-1016, then
// serial ports 1-16, up to the first that answers 1. A port whose opening
// misses its deadline (ReaderTrouble::kNoAnswer) has no reader, and the
// search goes on with the next port.
struct PortSearchResult {
  std::wstring portName;      // "USB1003", "COM2"; empty when none answered
  bool libraryError = false;  // the library (or its helper) could not be used at all
  // The helper crashed or could not be used, which ended the search.
  ReaderTrouble trouble = ReaderTrouble::kNone;
};
// Runs where the reader is called (the reader's own thread in the program);
// trying, when given, hears each port's name before it is opened.
PortSearchResult SearchReaderPorts(
    ReaderLibrary& reader, const std::function<void(const std::wstring&)>& trying = nullptr);

class Maths {
 public:
  // programFolder: the folder of the executable, without a trailing separator.
  Maths(CorePorts ports, std::wstring programFolder, HookTableStore& hookTables);
  // Where what the user's program writes goes (the same as the program
  // folder unless set): SetKey.txt, read from there and else from the
  // program folder (an installation's default keys), and written there; the
  // copy of the shared settings KeyEntry.shared.ini. KeyEntry.ini is always
  // the program folder's.
  void SetDataFolder(std::wstring folder) { dataFolder_ = std::move(folder); }
  // The card values are wiped before their memory is given back.
  ~Maths();
  Maths(const Maths&) = delete;
  Maths& operator=(const Maths&) = delete;

  // Reloads the key table and then KeyEntry.ini (ReloadSettings), searches
  // USB ports 1001-1016 and then serial ports 1-16 for a reader, and when one
  // answers records its port and makes sure the keyboard hook is installed.
  // A library that cannot be loaded is reported with a message.
  // All at once on this thread: BeginInitDevice, the search through the
  // reader of CorePorts, FinishInitDevice.
  void InitDevice();
  // The part before the search: Connected false, the key table and then
  // KeyEntry.ini reloaded (their message boxes may open).
  void BeginInitDevice();
  // The part after it: a port found is recorded and the hook installed; a
  // library that cannot be used is reported with 端口打开失败！.
  void FinishInitDevice(const PortSearchResult& found);
  // Closes the reader's port, at shut-down. Without the library there is no
  // port to close: that is not reported.
  void CloseComm();
  // Removes the keyboard hook and writes the key table back to SetKey.txt.
  void SaveAndUnhook();

  void LoadKeySettings();
  // False (after telling the operator) when the file could not be written.
  bool SaveKeySettings();

  // Reads KeyEntry.ini from the program folder again (at start, at each
  // click of the read button, when the file changes, from the menu): a
  // template on a key that SetKey.txt gives a field is dropped, every problem
  // is reported in one message box, and the hook gets the new settings. A
  // missing file means the defaults, without a message. SetKey.txt is
  // neither read nor written here.
  // When KeyEntry.ini names a shared file, its version in use lies under the
  // local settings (MergeSettings); before the share has answered that is
  // the copy KeyEntry.shared.ini of that file, read here (see
  // SharedCopyServes). The shared file's problems are reported once per
  // version, in the same message box. When the path changes, the version,
  // problems, status and copy of the file named before are dropped.
  void ReloadSettings();
  // The settings loaded last (the defaults before the first load).
  const SettingsContent& Settings() const { return *settings_; }
  // Whether KeyEntry.ini could be read at the last load.
  bool SettingsFileFound() const { return settingsFound_; }

  // The shared file that KeyEntry.ini named at the last load (empty: none).
  const std::wstring& SharedPath() const { return sharedStatus_.path; }
  // The share has answered (now: seconds since 1970 UTC). A new version is
  // saved as KeyEntry.shared.ini with its path and the settings are built
  // again with it, reporting only its problems; an unreachable share changes
  // only the status, and the version in use stays. A save that failed is
  // tried again at each answer (SharedStatus().copyFailedSince meanwhile).
  void SharedFileAnswered(const SharedFileAnswer& answer, std::int64_t now);
  const SharedSettingsStatus& SharedStatus() const { return sharedStatus_; }

  // The reader InitDevice searches through.
  ReaderLibrary& Reader() { return ports_.reader; }

  bool Connected() const { return connected_; }
  const std::wstring& PortName() const { return portName_; }
  const HotKeyTable& HotKeys() const { return hotKeys_; }
  const CardFieldValues& CardFields() const { return cardFields_; }

  // Replaces all eight key names at once; the hook uses them from its next
  // key event on.
  void SetHotKeys(const HotKeyTable& keys);
  // Stores one card value (the one it replaces is wiped). Call
  // PublishHookTable() when the card is done.
  void SetCardField(int field, std::wstring text);
  // Forgets the card: every value is wiped and left never filled (keys and
  // templates type nothing for it, as before the first card), and the hook
  // gets the table without it. Which card was handled last is still known
  // (NewCardRule): a card still lying on the reader is not typed on read
  // again.
  void ClearCardFields();
  // The checks of [核验] of the card held, worked out once per read, with
  // the one date given here (the poll's "today"), after the card's values
  // are set and before its table is published; again with the same date
  // when the settings change. The window's warning line shows them and the
  // hook holds typing on read for a warned card by them (HookTable::
  // holdOnRead), so that both agree also around midnight.
  void CheckCard(const Date& today);
  const CardFindings& CardChecks() const { return findings_; }
  // The photo file of the card (as the reader wrote it), for {照片} and
  // {照片文件} from the next published table on; null: none.
  void SetPhoto(std::shared_ptr<const std::string> file);
  // Hands the current keys, card values and settings to the keyboard hook as
  // one table. The card texts of a table are wiped when the last user of the
  // table lets go of it.
  void PublishHookTable();

  // Typing on read (读卡后): the poll tells what it found, with the poll's
  // time (milliseconds of the system's tick count). Only with a 读卡后 in
  // KeyEntry.ini is anything typed: once per new card (see NewCardRule),
  // after the card's table has been published. CardTaken tells whether the
  // card counts as new.
  void ReadingSwitchedOn();
  void NoCardOnReader(std::uint64_t nowMs);
  // A card was found but not read whole: nothing of it was taken.
  void CardReadFailed(std::uint64_t nowMs);
  bool CardTaken(std::uint64_t nowMs);

 private:
  std::wstring PathInProgramFolder(const wchar_t* fileName) const;
  std::wstring PathInDataFolder(const wchar_t* fileName) const;
  // The local settings over the shared version in use, published; the local
  // file's problems reported when reportLocal, the shared file's when they
  // have not been reported for this version.
  void ApplySettings(bool reportLocal);
  // Writes the shared version in use as KeyEntry.shared.ini unless it is
  // there already.
  void SaveSharedCopy(std::int64_t now);

  CorePorts ports_;
  std::wstring programFolder_;
  std::wstring dataFolder_;  // empty: the program folder
  HookTableStore& hookTables_;

  bool connected_ = false;
  std::wstring portName_;
  HotKeyTable hotKeys_;
  CardFieldValues cardFields_;
  std::shared_ptr<const std::string> photo_;
  std::shared_ptr<const SettingsContent> settings_;
  bool settingsFound_ = false;
  bool settingsLoaded_ = false;             // KeyEntry.ini has been loaded since start
  SettingsContent local_;                   // KeyEntry.ini as read last
  std::optional<std::string> sharedBytes_;  // the shared version in use
  bool copyCurrent_ = false;                // KeyEntry.shared.ini holds it
  SharedSettingsStatus sharedStatus_;
  // The shared version and the report of its problems shown last.
  std::optional<std::pair<std::string, std::wstring>> sharedReported_;
  NewCardRule newCard_;
  Date checkedOn_{};       // the date the checks of the card held were worked out with
  CardFindings findings_;  // what they found
};

}  // namespace keyentry
