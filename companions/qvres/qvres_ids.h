/* The dialog templates of qvres.dll and the identifiers of their controls.
   Included by qvres.rc and by the programs that use the templates, so it holds
   preprocessor definitions only.

   Templates (resource type RT_DIALOG, named by string):

   "RDFILE"    child template of the open dialog (OFN_EXPLORER |
               OFN_ENABLETEMPLATE, with a hook; use OFN_HIDEREADONLY, the
               template has its own read-only box):
                 IDC_ENCODING        drop-down list: the encoding to read with
                 IDC_ENCODING_LABEL  its label
                 IDC_READONLY        check box: open read-only
   "INSFILE"   child template of the open dialog for inserting a file:
                 IDC_ENCODING, IDC_ENCODING_LABEL
   "NSAVEFILE" child template of the save dialog:
                 IDC_ENCODING, IDC_ENCODING_LABEL
                 IDC_LINEEND         drop-down list: the line ends to write
                 IDC_LINEEND_LABEL   its label
                 IDC_ADDTOINFO       check box: register the file with the
                                     info window
   "CHARSAVE"  modal dialog (DialogBoxParam), caption
               "文字コードを指定して保存":
                 IDC_ENCODING, IDC_ENCODING_LABEL, IDC_LINEEND,
                 IDC_LINEEND_LABEL, IDOK (the default button), IDCANCEL

   "JUMP"        modal dialog, caption "指定行へジャンプ": IDC_FIELD1 the line
                 number (digits), IDC_FIELD1_LABEL, IDOK, IDCANCEL
   "SELECTLNUM"  modal dialog, caption "行指定選択": IDC_FIELD1 the first line,
                 IDC_FIELD2 the last line (digits), their labels, IDOK, IDCANCEL
   "MARKJUMP"    modeless dialog (CreateDialogParam), caption "ブックマーク登録":
                 IDC_FIELD1 the bookmark's name, IDC_FIELD1_LABEL, IDOK, IDCANCEL
   "SETAREASEL"  modeless dialog, caption "範囲設定行に設定": IDC_FIELD1 the label
   "EDITAREASEL" modeless dialog, caption "範囲設定行編集": IDC_FIELD1 the label
   The program sets the fields' length limits and first values.

   "SCHDLG"      modeless dialog, caption "検索": IDC_SCH_TEXT the search text
                 (an editable combo box with the history), the seven option
                 check boxes IDC_SCH_CASE to IDC_SCH_REGEX, the scope radio
                 buttons IDC_SCH_INFILE, IDC_SCH_INRANGE, IDC_SCH_INFILES, the
                 controls of a search in files IDC_SCH_TYPEFILTER,
                 IDC_SCH_TYPES (a combo box), IDC_SCH_TYPESDROP and
                 IDC_SCH_FILESOPTION, IDC_SCH_SHARE (share the settings with
                 the other editors), IDC_SCH_APPLY (apply and close), IDOK,
                 IDCANCEL and IDHELP

   The drop-down lists are empty in the templates: the program fills them when
   the dialog starts. Their drop-down parts have room for six items.
   The identifiers lie below 0x400 and so clear of the common dialogs' own. */
#ifndef GORVANE_COMPANIONS_QVRES_QVRES_IDS_H
#define GORVANE_COMPANIONS_QVRES_QVRES_IDS_H

#define IDC_ENCODING 1001
#define IDC_LINEEND 1002
#define IDC_READONLY 1003
#define IDC_ADDTOINFO 1004
#define IDC_ENCODING_LABEL 1011
#define IDC_LINEEND_LABEL 1012
#define IDC_FIELD1 1006
#define IDC_FIELD2 1007
#define IDC_FIELD1_LABEL 1014
#define IDC_FIELD2_LABEL 1015

#define IDC_SCH_CASE 1001
#define IDC_SCH_LEFTWORD 1002
#define IDC_SCH_TEXT 1003
#define IDC_SCH_RIGHTWORD 1004
#define IDC_SCH_FUZZY 1005
#define IDC_SCH_INFILE 1006
#define IDC_SCH_INRANGE 1007
#define IDC_SCH_INFILES 1008
#define IDC_SCH_REGEX 1017
#define IDC_SCH_TYPESDROP 1024
#define IDC_SCH_APPLY 1027
#define IDC_SCH_TYPEFILTER 1028
#define IDC_SCH_TYPES 1032
#define IDC_SCH_SHARE 1033
#define IDC_SCH_FILESOPTION 1037
#define IDC_SCH_SHORTEST 1066
#define IDC_SCH_WILDCARD 1072
#define IDC_SCH_TEXT_LABEL 1080

#endif
