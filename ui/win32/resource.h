#pragma once
// Resource ids of the program: its icon and the pictures the resource script
// embeds (drawn at build time by the Qt windows' drawing code, PNG and JPEG).

#define IDI_APP 1

#define IDB_BANNER 101    /* Image1 */
#define IDB_STRIP 102     /* Image2 */
#define IDB_PALE 103      /* i_bg1, i_bg2 */
#define IDB_WAVES 104     /* i_bg3 */
#define IDB_HAND 105      /* i_HasCard */
#define IDB_START 106     /* il_ActionStatus 0 */
#define IDB_STOP 107      /* il_ActionStatus 1 */
#define IDB_SETTINGS 108  /* SetBtn's glyph */
#define IDB_ABOUT 109     /* btn_Config's glyph */
#define IDB_CARDFACE 110  /* Image4: the identity card face; the other faces follow at 120 */
#define IDB_ABOUTJPEG 111 /* i_About */
#define IDB_CARDFACE_FOREIGN 120
#define IDB_CARDFACE_PERMIT 121
#define IDB_CARDFACE_PLAIN 122
