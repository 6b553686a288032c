#pragma once
// The control ids of the three windows, each named after its control, and
// the control's name for an id (tools and tests find controls by it). Ids are
// unique across the windows, so a name is never ambiguous; a name that two
// windows share (GroupBox1, Label1) has one id per window.

#define ZUVI_CONTROLS(X)                                                                           \
    X(Panel2, 1001)                                                                                \
    X(Image1, 1002)                                                                                \
    X(Panel3, 1003)                                                                                \
    X(Image2, 1004)                                                                                \
    X(Panel9, 1005)                                                                                \
    X(SetBtn, 1006)                                                                                \
    X(btn_Config, 1007)                                                                            \
    X(GroupBox1, 1008)                                                                             \
    X(btn_OneReadCard, 1009)                                                                       \
    X(btn_CycleReadCard, 1010)                                                                     \
    X(GroupBox2, 1011)                                                                             \
    X(pc_Page, 1012)                                                                               \
    X(ts_Device, 1013)                                                                             \
    X(ts_NoDevice, 1014)                                                                           \
    X(i_bg1, 1015)                                                                                 \
    X(i_bg2, 1016)                                                                                 \
    X(i_bg3, 1017)                                                                                 \
    X(i_HasCard, 1018)                                                                             \
    X(p_IDCardInfo, 1019)                                                                          \
    X(l_Info, 1020)                                                                                \
    X(sb_Status, 1021)                                                                             \
    X(StatusPanel0, 1022)                                                                          \
    X(StatusPanel1, 1023)                                                                          \
    X(StatusPanel2, 1024)                                                                          \
    X(SamIdEdit, 1025)                                                                             \
    X(Image4, 1101)                                                                                \
    X(NameLabel, 1102)                                                                             \
    X(SexLabel, 1103)                                                                              \
    X(NationLabel, 1104)                                                                           \
    X(BirthdayLabel, 1105)                                                                         \
    X(AddressLabel, 1106)                                                                          \
    X(IDCardNoLabel, 1107)                                                                         \
    X(CheckDepartmentLabel, 1108)                                                                  \
    X(StartDateLabel, 1109)                                                                        \
    X(BetweenLabel, 1110)                                                                          \
    X(EndDateLabel, 1111)                                                                          \
    X(AppAddressLabel, 1112)                                                                       \
    X(Label1, 1113)                                                                                \
    X(PhotoPanel, 1114)                                                                            \
    X(PhotoImage, 1115)                                                                            \
    X(SetFrm_GroupBox1, 1201)                                                                      \
    X(SetFrm_Label1, 1202)                                                                         \
    X(PortCbx, 1203)                                                                               \
    X(Label4, 1204)                                                                                \
    X(CurLb, 1205)                                                                                 \
    X(Label3, 1206)                                                                                \
    X(SleepEdit, 1207)                                                                             \
    X(Label5, 1208)                                                                                \
    X(Panel1, 1209)                                                                                \
    X(OkBtn, 1210)                                                                                 \
    X(ExitBtn, 1211)                                                                               \
    X(SaveError, 1212)                                                                             \
    X(i_About, 1301)                                                                               \
    X(l_AppName, 1302)                                                                             \
    X(l_Version, 1303)                                                                             \
    X(l_Company, 1304)                                                                             \
    X(l_Address, 1305)                                                                             \
    X(l_Telephone, 1306)                                                                           \
    X(l_WebSite, 1307)

enum ControlId : int {
#define ZUVI_CONTROL_ID(name, id) IDC_##name = id,
    ZUVI_CONTROLS(ZUVI_CONTROL_ID)
#undef ZUVI_CONTROL_ID
};

// The control's name ("btn_OneReadCard"); the settings dialog's GroupBox1 and
// Label1 without the prefix that tells their ids apart. Null for an unknown id.
inline const char* ControlName(int id)
{
    constexpr int kPrefix = sizeof("SetFrm_") - 1;
    switch (id) {
#define ZUVI_CONTROL_NAME(name, value)                                                             \
    case value:                                                                                    \
        return (value == IDC_SetFrm_GroupBox1 || value == IDC_SetFrm_Label1) ? #name + kPrefix     \
                                                                             : #name;
        ZUVI_CONTROLS(ZUVI_CONTROL_NAME)
#undef ZUVI_CONTROL_NAME
    }
    return nullptr;
}

// The id of the control named `name` in the card view or the main window
// (the names the presentation layer gives); 0 for an unknown name.
inline int ControlIdByName(const char* name)
{
    const auto same = [](const char* a, const char* b) {
        while (*a && *a == *b)
            ++a, ++b;
        return *a == *b;
    };
#define ZUVI_CONTROL_BY_NAME(n, value)                                                             \
    if (same(name, #n))                                                                            \
        return value;
    ZUVI_CONTROLS(ZUVI_CONTROL_BY_NAME)
#undef ZUVI_CONTROL_BY_NAME
    return 0;
}
