#pragma once
// Resource and control ids of the program, shared by the resource script,
// the windows and the Windows tests. The eight ids of a row of card fields
// follow one another in field order (name, sex, nation, date of birth,
// address, identity number, issuing authority, validity period).

#define IDI_KEYENTRY 101

// Main window: captions of the card fields.
#define IDC_CAPTION_NAME 100
#define IDC_CAPTION_SEX 101
#define IDC_CAPTION_NATION 102
#define IDC_CAPTION_BIRTH 103
#define IDC_CAPTION_ADDRESS 104
#define IDC_CAPTION_ID_NUMBER 105
#define IDC_CAPTION_AUTHORITY 106
#define IDC_CAPTION_VALIDITY 107

// Main window: values of the card fields.
#define IDC_VALUE_NAME 120
#define IDC_VALUE_SEX 121
#define IDC_VALUE_NATION 122
#define IDC_VALUE_BIRTH 123
#define IDC_VALUE_ADDRESS 124
#define IDC_VALUE_ID_NUMBER 125
#define IDC_VALUE_AUTHORITY 126
#define IDC_VALUE_VALIDITY 127

// Main window: photo, buttons, status line and clock.
#define IDC_PHOTO 140
#define IDC_READ 141
#define IDC_KEY_SETTINGS 142
#define IDC_EXIT 143
#define IDC_STATUS 144
#define IDC_CLOCK 145

// Main window: the warning line of the card's checks, between the ID number
// and the issuing authority; hidden while there is no warning.
#define IDC_CARD_WARNING 146

// Main window: items of the system menu, in their order there. System
// commands are multiples of 16 below 0xF000. Site scripts post them as
// WM_SYSCOMMAND to the main window: the numbers stay as they are.
#define IDM_EDIT_SETTINGS 0x0400
#define IDM_RELOAD_SETTINGS 0x0410
#define IDM_SELF_CHECK 0x0420
#define IDM_START_AT_LOGON 0x0430

// The photo box's right-click menu.
#define IDM_PHOTO_COPY 0x0500
#define IDM_PHOTO_SAVE 0x0501

// The commented example written as KeyEntry.ini when the operator opens a
// missing file (UTF-8 with byte order mark, CR LF).
#define IDR_SETTINGS_EXAMPLE 300

// Key settings window: captions of the card fields.
#define IDC_KEY_LABEL_NAME 200
#define IDC_KEY_LABEL_SEX 201
#define IDC_KEY_LABEL_NATION 202
#define IDC_KEY_LABEL_BIRTH 203
#define IDC_KEY_LABEL_ADDRESS 204
#define IDC_KEY_LABEL_ID_NUMBER 205
#define IDC_KEY_LABEL_AUTHORITY 206
#define IDC_KEY_LABEL_VALIDITY 207

// Key settings window: the key chosen for each card field.
#define IDC_KEY_LIST_NAME 220
#define IDC_KEY_LIST_SEX 221
#define IDC_KEY_LIST_NATION 222
#define IDC_KEY_LIST_BIRTH 223
#define IDC_KEY_LIST_ADDRESS 224
#define IDC_KEY_LIST_ID_NUMBER 225
#define IDC_KEY_LIST_AUTHORITY 226
#define IDC_KEY_LIST_VALIDITY 227

// Key settings window: buttons.
#define IDC_APPLY 240
#define IDC_CLOSE 241

// Self-check window: the status lines, the typing test (box, a button and a
// result per mode, the check of a press), the template preview, the report.
#define IDC_CHECK_STATUS 400
#define IDC_CHECK_TEST_LABEL 401
#define IDC_CHECK_BOX 402
#define IDC_CHECK_TEST_UNICODE 403
#define IDC_CHECK_TEST_KEYS 404
#define IDC_CHECK_TEST_PASTE 405
#define IDC_CHECK_RESULT_UNICODE 406
#define IDC_CHECK_RESULT_KEYS 407
#define IDC_CHECK_RESULT_PASTE 408
#define IDC_CHECK_PRESS 409
#define IDC_CHECK_PREVIEW_LABEL 410
#define IDC_CHECK_TEMPLATE 411
#define IDC_CHECK_PREVIEW 412
#define IDC_CHECK_COPY 413
