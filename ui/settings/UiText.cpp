#include "ui/settings/UiText.h"

namespace kov {
namespace {

struct Entry {
  const char16_t* key;
  const char16_t* text;
};

// Registration order matters: Keys() and the language files follow it.
constexpr Entry kEntries[] = {
    {u"f2_b_Insert", u"Insert"},
    {u"f2_b_Cancel", u"Cancel"},
    {u"f2_b_Password", u"Password"},
    {u"f2_Title", u"New Account"},
    {u"f1_Tab_1", u"All"},
    {u"f1_Tab_2", u"Guest"},
    {u"f1_Tab_3", u"Player"},
    {u"f1_Tab_4", u"Staff"},
    {u"f1_Tab_5", u"Blocked"},
    {u"f1_Tab_6", u"Jailed"},
    {u"f1_panel_0", u"Entry: %d"},
    {u"f1_panel_1_saved", u"Status: saved"},
    {u"f1_panel_1_nosaved", u"Status: not saved"},
    {u"f1_Label_20", u"Char Count:"},
    {u"f1_Groupbox_1", u"Account Edit"},
    {u"f1_Groupbox_3", u"Priv Flags (%s)"},
    {u"f1_Label_2", u"Password"},
    {u"f1_Label_3", u"Email"},
    {u"f1_Label_4", u"Chatname"},
    {u"f1_Label_5", u"Language"},
    {u"f1_Label_6", u"PLevel"},
    {u"f1_Label_7", u"Comment"},
    {u"f1_Grid_Hint_0", u"Stored"},
    {u"f1_Grid_Hint_1", u"Changed"},
    {u"f1_Grid_Hint_2", u"New"},
    {u"f1_Grid_Status", u"S"},
    {u"f1_Grid_Status_Hint", u"Status"},
    {u"f1_Grid_Account", u"Account"},
    {u"f1_Grid_Account_Hint", u"Account Name"},
    {u"f1_Grid_Password", u"Password"},
    {u"f1_Grid_Password_Hint", u"Password"},
    {u"f1_Grid_PLevel", u"PLevel"},
    {u"f1_Grid_PLevel_hint", u"User Level"},
    {u"f1_Grid_EMail", u"EMail"},
    {u"f1_Grid_EMail_Hint", u"EMail"},
    {u"f1_Grid_LastConnect", u"Days"},
    {u"f1_Grid_LastConnect_Hint", u"Last Login x days ago"},
    {u"f1_Action_Open", u"Open"},
    {u"f1_Action_Reload", u"Reload Accounts"},
    {u"f1_Action_Save", u"Save"},
    {u"f1_Action_New_Account", u"New Account"},
    {u"f1_Action_Delete_Account", u"Delete Account"},
    {u"f1_Action_Close", u"Exit"},
    {u"f1_Action_Help", u"Info..."},
    {u"f1_Action_ShowLog", u"Show Logfile"},
    {u"f1_Action_Make_Backup", u"Make Backup"},
    {u"f1_Action_send_Email", u"Send EMail"},
    {u"f1_Menu_0_0", u"File"},
    {u"f1_Menu_1_0", u"Edit"},
    {u"f1_Menu_2_0", u"View"},
    {u"f1_Menu_3_0", u"Help"},
    {u"f1_OpenDialog_Title", u"Open"},
    {u"f1_Log_Title", u"KOV Info..."},
    {u"f1_Progressbar_Read", u"Read Accountfile...Please wait"},
    {u"f1_Progressbar_Write", u"Write Accountfile...Please wait"},
    {u"f1_Progressbar_Backup", u"Write Backup...Please wait"},
    {u"prefs_SelectDir_Title", u"Select Dir"},
    {u"prefs_SelectDir_Text", u""},
    {u"prefs_Cancel", u"Cancel"},
    {u"prefs_Use", u"Use"},
    {u"prefs_pw_Hint", u"Create Password"},
    {u"Language", u"Language"},
    {u"CharInfo_GroupBox1", u"Char Info"},
    {u"CharInfo_GroupBox2", u"General"},
    {u"CharInfo_GroupBox3", u"Skills"},
    {u"CharInfo_Cancel", u"Cancel"},
    {u"CharInfo_MoreUID", u"Another chars of this account:"},
    {u"Info_Button_Cancel", u"Cancel"},
    {u"Info_Label_CopyRight", u"Copyright © 2026 the Vornex Account Manager developers"},
    {u"frg_acc_delete", u"Do you really want to delete the account?"},
    {u"frg_acc_delete_Title", u"Delete Accounts"},
    {u"frg_acc_delete_yes", u"Yes"},
    {u"frg_acc_delete_No", u"No"},
    {u"frg_Exit_Confirm", u"Save changes?"},
    {u"exp_Menu_Excel", u"Exporting to MS Excel"},
    {u"exp_Menu_HTML", u"Exporting to HTML"},
    {u"exp_Module_Excel_Caption", u"Exporting to MS Excel..."},
    {u"exp_Module_HTML_Caption", u"Exporting to HTML..."},
    {u"exp_Progress_Text", u"Exporting - Please wait..."},
    {u"err_acc_str", u"The account name should contain only letters and numbers!"},
    {u"err_acc_len",
     u"The account name has to be at least 4 letters long in order to avoid problems with Vornex "
     u"55R/56!"},
    {u"err_pw_str", u"The password should contain only letters and number."},
    {u"err_pw_len",
     u"The password has to be at least 4 letters long in order to avoid problems with Vornex "
     u"55R/56!"},
    {u"err_file_not_Found", u"File not found!"},
    {u"err_Account_Delete",
     u"Accounts could only be deleted if the Vonexserver is active and the Vornex Account Manager "
     u"has access to the console."},
    {u"err_account_dubble", u"The account name is already available."},
    {u"msg_file_not_found", u"File not found: "},
    {u"msg_load_File", u"Load File: "},
    {u"msg_acc_Updating", u"Updating Account: %s"},
    {u"msg_acc_Create", u"Create Account: %s"},
    {u"msg_Acc_Update", u"The account informations change at the next worldsave."},
    {u"Hint_Header", u"Tip"},
    {u"Hint_CharInfo", u"Right Click to get more informations about character"},
    {u"f1_Action_SettingsForm", u"Settings"},
    {u"dlg_yes", u"Yes"},
    {u"dlg_no", u"No"},
    {u"dlg_ok", u"OK"},
    {u"dlg_cancel", u"Cancel"},
    {u"pop_log_Undo", u"Rückgängig"},
    {u"pop_log_Cut", u"Ausscheiden"},
    {u"pop_log_copy", u"Kopieren"},
    {u"pop_log_Paste", u"Einfügen"},
    {u"pop_log_delete", u"Löschen"},
    {u"pop_log_selectall", u"Alles markieren"},
    {u"prefs_Ordner", u"Dir"},
    {u"ext_Reload_Confirm", u"Unsaved changes will be lost. Reload the accounts anyway?"},
    {u"ext_Action_Search", u"Search"},
    {u"ext_Search_Hint", u"Search account, e-mail, chat name, IP (Ctrl+F)"},
    {u"ext_Menu_CSV", u"Exporting to CSV"},
    {u"ext_Action_Review", u"Review Changes..."},
    {u"ext_Action_Revert", u"Revert Account"},
    {u"ext_Revert_Confirm_New", u"Remove the new account %s?"},
    {u"ext_Review_Title", u"Review Changes"},
    {u"ext_Review_Account", u"Account"},
    {u"ext_Review_Field", u"Field"},
    {u"ext_Review_Old", u"Server file"},
    {u"ext_Review_New", u"New value"},
    {u"ext_Review_Revert", u"Revert Selected"},
    {u"ext_Review_Close", u"Close"},
    {u"ext_Review_NotInFile", u"not in the server's file"},
    {u"ext_Prefs_TakeOverWait", u"Wait for the server's take-over"},
    {u"ext_Prefs_Seconds", u" s"},
    {u"ext_Wait_TakeOver", u"Waiting for the server to take the updates over..."},
    {u"ext_Log_TakenOver", u"The server took over %d account(s); %d still waiting"},
    {u"ext_Log_TakenOverLater", u"The server took over %d account(s) from the update file"},
    {u"ext_Log_WorldSave", u"The server saved its accounts; Reload Accounts shows them"},
    {u"ext_Log_OtherShard",
     u"The new settings take effect at the next Reload Accounts; until then Save and Delete use "
     u"%s"},
    {u"ext_Grid_Hint_Sent", u"Sent to the server, not yet taken over"},
    {u"ext_Load_Incomplete",
     u"The table is incomplete: %d accounts were read before the error in %s. Save and Backup are "
     u"off until the file is corrected and reloaded."},
    {u"ext_Mail_NoProgram",
     u"No program on this computer opens e-mail links. The address %s has been copied to the "
     u"clipboard."},
    {u"ext_Log_FileFailed",
     u"The log file %s cannot be written (%s); the lines stay in this pane only."},
    {u"ext_Server_NotSet", u"Server: not set"},
    {u"ext_Server_NotRunning", u"Server: not running"},
    {u"ext_Server_Stopped", u"Server: stopped"},
    {u"ext_Server_Unreachable", u"Server: console not reachable"},
    {u"ext_Server_Running", u"Server: running"},
    {u"ext_Log_NotSent", u"Not sent: A (Account Update): %s"},
    {u"ext_NotSent_A",
     u"The command \"A\" was not sent. The changes wait in %s; the server takes them over at its "
     u"next world save, or when \"A\" is typed into its console."},
    {u"ext_Save_NotRunning",
     u"The server is not running, so nothing was sent to it. The changes wait in %s; the server "
     u"takes them over at its next world save."},
    {u"ext_Save_AutoUpdateOff",
     u"Telling the server is switched off in the preferences. The changes wait in %s; the server "
     u"takes them over at its next world save."},
    {u"ext_panel_waiting", u"Status: saved, not yet taken over"},
    {u"ext_Welcome",
     u"Welcome to the Vornex Account Manager. It manages the accounts of a VornexServer shard: it "
     u"reads the server's account file, and hands every change to the server through its update "
     u"file and its console."},
    {u"ext_Welcome_Server",
     u"To begin, choose the server's executable, its account folder and its save folder under %s, "
     u"%s."},
    {u"ext_Welcome_Question",
     u"No server is set yet. Save and Delete reach the server only through the console of its "
     u"executable. Open %s now to choose it?"},
    {u"ext_Flag_AdminPriv", u"Admin Priv"},
    {u"ext_Flag_GMPrivs", u"GM Privs"},
    {u"ext_Flag_CounselorPrivs", u"Counselor Privs"},
    {u"ext_Flag_HearGMPages", u"Hear GM Pages"},
    {u"ext_Flag_HearAll", u"Hear All"},
    {u"ext_Flag_MoveAll", u"Move All"},
    {u"ext_Flag_CombatDetailMsg", u"Combat Detail Msg"},
    {u"ext_Flag_DebugMode", u"Debug Mode"},
    {u"ext_Flag_EmailIsValid", u"Email is valid"},
    {u"ext_Flag_PrivShowSet", u"Privshow set"},
    {u"ext_Flag_AllowGMToggle", u"Allow GM toggle"},
    {u"ext_Flag_Jailed", u"Jailed"},
    {u"ext_Flag_T2A", u"T2A"},
    {u"ext_Flag_Blocked", u"Blocked"},
    {u"ext_Flag_AllShowEnabled", u"All Show enabled"},
    {u"ext_Conn_TotalConnectTime", u"TotalConnectTime:"},
    {u"ext_Conn_LastConnectTime", u"LastConnectTime:"},
    {u"ext_Conn_LastConnectDate", u"LastConnectDate:"},
    {u"ext_Conn_FirstConnectDate", u"FirstConnectDate:"},
    {u"ext_Conn_LastCharUID", u"LastCharUID:"},
    {u"ext_Conn_FirstIP", u"FirstIP:"},
    {u"ext_Conn_LastIP", u"LastIP:"},
    {u"ext_Editor_GeneratePassword", u"create Password"},
    {u"ext_Editor_Uids", u"UID's:"},
    {u"ext_Menu_ShowCharInfo", u"Show Char Infos"},
    {u"ext_Edit_NotInteger", u"'%s' is not a valid integer value."},
    {u"ext_Edit_LineBreak",
     u"A field cannot hold a line break or a NUL character: each would split the account in the "
     u"update file. The text was not stored."},
    {u"ext_Edit_NotCp1252",
     u"The character \"%s\" (U+%s) cannot be stored: the server's files hold Windows-1252 text "
     u"only. The text was not stored."},
    {u"ext_Char_Title", u"Charakter Info"},
    {u"ext_Char_SkillName", u"Skill Name"},
    {u"ext_Char_SkillValue", u"Wert"},
    {u"ext_Char_CannotRead", u"Cannot read %s: %s"},
    {u"ext_Info_BetaTesting", u"Beta Testing by:"},
    {u"ext_Info_Version", u"Version:%s"},
    {u"ext_Info_MailLink", u"EMail"},
    {u"ext_Info_Build", u"%s %s (Build %d)"},
    {u"ext_Load_BadValue", u"'%s' is not a valid %s value."},
    {u"ext_Load_Where", u"%s, line %d"},
    {u"ext_Load_UpdateFile", u"update file"},
    {u"ext_Load_AccountFile", u"account file"},
    {u"ext_Settings_CannotWrite", u"Cannot write %s:"},
    {u"ext_Prefs_AutoUpdate", u"Account Autoupdate"},
    {u"ext_Prefs_VornexDir", u"Vornex %s"},
    {u"ext_Prefs_AccountDir", u"Account %s"},
    {u"ext_Prefs_SaveDir", u"Save %s"},
    {u"ext_Grid_PrivFlags", u"Priv Flags"},
    {u"ext_Tab_CharCount", u"Char Count"},
    {u"ext_Tab_NotBlocked", u"Not blocked"},
    {u"ext_Tab_Chars", u"%d Chars"},
    {u"ext_Tab_OneChar", u"%d Char"},
    {u"ext_Delete_Blank",
     u"The account \"%s\" was not deleted: its name holds a blank, so the server console would "
     u"take it for another account."},
    {u"ext_Delete_Control",
     u"The account \"%s\" was not deleted: its name holds a control character, which cannot be "
     u"typed into the server console."},
    {u"ext_Delete_Progress", u"Deleting the account \"%s\" (%d of %d)..."},
    {u"ext_Delete_Gone",
     u"The account \"%s\" was not deleted: it is no longer in the table as it was confirmed."},
    {u"ext_Delete_NotDeleted", u"The account \"%s\" was not deleted: %s"},
    {u"ext_Delete_SectionsKept", u"The deleted accounts could not be taken out of %s:"},
    {u"ext_Delete_SectionsKeptWhy",
     u"\"A\" was not sent, so the server does not take them over again; remove their sections "
     u"before the next world save."},
    {u"ext_Log_SectionsRemoved", u"Removed %d pending section(s) of deleted accounts: %s"},
    {u"ext_Log_Send", u"Send: %s"},
    {u"ext_Log_SendA", u"Send: A (Account Update)"},
    {u"ext_Log_Save", u"Save %s"},
    {u"ext_Log_Backup", u"Backup Save as %s"},
    {u"ext_Log_SaveOtherFolder", u"Saving into the folder the accounts were loaded from: %s"},
    {u"ext_Log_Autoload", u"autoload file: "},
    {u"ext_Save_Incomplete",
     u"The accounts were not loaded completely: reading stopped on an error. Saving now could "
     u"replace pending changes in %s with an incomplete table."},
    {u"ext_Backup_Incomplete",
     u"The accounts were not loaded completely: reading stopped on an error. A backup now would "
     u"hold an incomplete table."},
    {u"ext_Load_CorrectFirst", u"Correct the file and choose \"%s\" first."},
    {u"ext_Backup_Failed", u"The backup was not written."},
    {u"ext_Save_ValueRefused",
     u"Nothing was saved: the account \"%s\" holds a line break or a NUL character in %s, which "
     u"would split it into several lines of %s."},
    {u"ext_Save_WriteFailed", u"Nothing was saved; %s is unchanged."},
    {u"ext_Revert_Failed", u"Nothing was reverted: %s"},
    {u"ext_Export_Filter_Excel", u"Excel (*.xlsx)"},
    {u"ext_Export_Filter_Html", u"HTML (*.htm)"},
    {u"ext_Export_Filter_Csv", u"CSV (*.csv)"},
    {u"ext_NewAccount_Account", u"Account"},
    {u"ext_NewAccount_PLevel", u"PLevel"},
    {u"ext_Field_CharUid", u"Character %d"},
    {u"ext_Bulk_Block", u"Block"},
    {u"ext_Bulk_Unblock", u"Unblock"},
    {u"ext_Bulk_Jail", u"Jail"},
    {u"ext_Bulk_Release", u"Release"},
    {u"ext_Bulk_Level", u"Set Level..."},
    {u"ext_Bulk_Flag", u"Set or Clear a flag..."},
    {u"ext_Bulk_Caption", u"Change highlighted accounts"},
    {u"ext_Bulk_Preview", u"%d accounts: %s"},
    {u"ext_Bulk_Unchanged", u"%d already so: left as they are"},
    {u"ext_Bulk_BadFlags", u"%d not changed: the flag text is not a valid number"},
    {u"ext_Bulk_Unwritable", u"%d not changed: a value would hold a line end"},
    {u"ext_Bulk_Nothing", u"Nothing to change."},
    {u"ext_Bulk_Apply", u"Apply"},
    {u"ext_Bulk_Level_Label", u"Level:"},
    {u"ext_Bulk_Flag_Label", u"Flag:"},
    {u"ext_Bulk_Set", u"Set"},
    {u"ext_Bulk_Clear", u"Clear"},
    {u"ext_Bulk_List_Account", u"Account"},
    {u"ext_Bulk_List_Old", u"Now"},
    {u"ext_Bulk_List_New", u"New"},
    {u"ext_Bulk_Log", u"Changed %d accounts: %s. Pending until Save."},
    {u"ext_Action_Restore", u"Restore from Backup..."},
    {u"ext_Action_History", u"History..."},
    {u"ext_Action_AccountHistory", u"History of this Account..."},
    {u"ext_Restore_Title", u"Restore from Backup"},
    {u"ext_Restore_Open", u"Open Backup"},
    {u"ext_Restore_Filter", u"Backups (*.bak)"},
    {u"ext_Restore_Summary", u"Backup from %s: %d accounts. Deleted since: %d, changed since: %d, new since: %d."},
    {u"ext_Restore_Deleted", u"Deleted since the backup"},
    {u"ext_Restore_Changed", u"Changed since the backup"},
    {u"ext_Restore_New", u"New since the backup (nothing to restore)"},
    {u"ext_Restore_Col_Account", u"Account / Field"},
    {u"ext_Restore_Col_Now", u"Now"},
    {u"ext_Restore_Col_Backup", u"In the backup"},
    {u"ext_Restore_ShowPasswords", u"Show passwords"},
    {u"ext_Restore_Hidden", u"(hidden)"},
    {u"ext_Restore_Apply", u"Restore Ticked"},
    {u"ext_Restore_Pending", u"%s (unsaved change)"},
    {u"ext_Restore_Keep", u"Keep my unsaved values"},
    {u"ext_Restore_TakeBackup", u"Take the backup's values"},
    {u"ext_Restore_Bad", u"The backup %s cannot be restored: %s. Nothing was changed."},
    {u"ext_Restore_Foreign", u"None of the %d accounts in this backup is in the table: it seems to be the backup of another shard."},
    {u"ext_Restore_Done", u"%d account(s) restored. They are pending: \"%s\" sends them to the server."},
    {u"ext_Restore_Same", u"The backup holds the same accounts and values as the table."},
    {u"ext_History_Title", u"History"},
    {u"ext_History_Col_Time", u"Time"},
    {u"ext_History_Col_User", u"User"},
    {u"ext_History_Col_Account", u"Account"},
    {u"ext_History_Col_Action", u"Change"},
    {u"ext_History_Col_Field", u"Field"},
    {u"ext_History_Col_Old", u"Old value"},
    {u"ext_History_Col_New", u"New value"},
    {u"ext_History_Col_Taken", u"Taken over"},
    {u"ext_History_Col_Shard", u"Account folder"},
    {u"ext_History_Account", u"Account:"},
    {u"ext_History_Field", u"Field:"},
    {u"ext_History_All", u"(all)"},
    {u"ext_History_From", u"From:"},
    {u"ext_History_To", u"To:"},
    {u"ext_History_Search", u"Search:"},
    {u"ext_History_Count", u"%d of %d changes"},
    {u"ext_History_Torn", u"The last line of the history is incomplete (cut off while it was written); every whole line is shown."},
    {u"ext_History_BadLines", u"%d line(s) of the history are no changes of this program and were skipped (first: %s)."},
    {u"ext_History_Unreadable", u"The history cannot be shown: %s"},
    {u"ext_History_Yes", u"yes"},
    {u"ext_History_No", u"no"},
    {u"ext_Log_HistoryFailed", u"The change history was not written: %s"},
    {u"ext_History_DatePattern", u"YYYY-MM-DD"},
};
static_assert(sizeof(kEntries) / sizeof(kEntries[0]) == kUiTextKeyCount);

QString Fold(QStringView key) { return key.toString().toLower(); }

}  // namespace

UiText& UiText::Instance() {
  static UiText instance;
  return instance;
}

void UiText::RegisterUiTextKeys() {
  if (!m_keys.isEmpty()) return;
  for (const Entry& e : kEntries) {
    const QString key = QString::fromUtf16(e.key);
    m_keys.append(key);
    m_texts.insert(Fold(key), QString::fromUtf16(e.text));
  }
}

QString UiText::Text(QStringView key) const { return m_texts.value(Fold(key)); }

void UiText::SetText(QStringView key, const QString& value) {
  auto it = m_texts.find(Fold(key));
  if (it != m_texts.end()) *it = value;
}

QStringList UiText::Keys() const { return m_keys; }

bool UiText::HasKey(QStringView key) const { return m_texts.contains(Fold(key)); }

QString UiText::DefaultText(QStringView key) {
  const QString folded = Fold(key);
  for (const Entry& e : kEntries) {
    if (QString::fromUtf16(e.key).toLower() == folded) return QString::fromUtf16(e.text);
  }
  return {};
}

QString Ui(const char* key) { return UiText::Instance().Text(QString::fromLatin1(key)); }

QString FormatText(const QString& fmt, const QList<QVariant>& args) {
  QString out;
  out.reserve(fmt.size() + 16);
  qsizetype next = 0;
  for (qsizetype i = 0; i < fmt.size(); ++i) {
    const QChar c = fmt.at(i);
    if (c != u'%' || i + 1 >= fmt.size()) {
      out += c;
      continue;
    }
    const QChar spec = fmt.at(i + 1);
    if (spec == u'%') {
      out += u'%';
      ++i;
    } else if ((spec == u's' || spec == u'd') && next < args.size()) {
      const QVariant& arg = args.at(next++);
      bool isNumber = false;
      const qlonglong n = arg.toLongLong(&isNumber);
      // A %d given a text (or %s given a number) still shows the value as text.
      if (spec == u'd' && isNumber && arg.typeId() != QMetaType::QString)
        out += QString::number(n);
      else
        out += arg.toString();
      ++i;
    } else {
      out += c;  // unknown or unfilled placeholder: shown as written
    }
  }
  return out;
}

}  // namespace kov
