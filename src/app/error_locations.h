// The location texts of the trapped procedures. The error report names the procedure that
// failed by one of these texts, so support can match a screenshot to the code; each is spelled
// exactly as the reports have always shown it, trailing blank included.
#pragma once

namespace app::location {

inline constexpr char kForm1FormLoad[] = "in Ludovane2/19/2015.Form1.Form_Load ";
inline constexpr char kForm1PushButton1Click[] = "in Ludovane2/19/2015.Form1.PushButton1_Click ";
inline constexpr char kForm1PushButton2Click[] = "in Ludovane2/19/2015.Form1.PushButton2_Click ";
inline constexpr char kForm1PushButton3Click[] = "in Ludovane2/19/2015.Form1.PushButton3_Click ";
inline constexpr char kForm1PushButton4Click[] = "in Ludovane2/19/2015.Form1.PushButton4_Click ";

inline constexpr char kForm2PushButton1Click[] =
    "in Ludovane2/19/201510/24/2013.Form2.PushButton1_Click ";
inline constexpr char kForm2PushButton2Click[] =
    "in Ludovane2/19/201510/24/2013.Form2.PushButton2_Click ";
inline constexpr char kForm2PushButton3Click[] =
    "in Ludovane2/19/201510/24/2013.Form2.PushButton3_Click ";
inline constexpr char kForm2PushButton4Click[] =
    "in Ludovane2/19/201510/24/2013.Form2.PushButton4_Click ";
inline constexpr char kForm2PushButton5Click[] =
    "in Ludovane2/19/201510/24/2013.Form2.PushButton5_Click ";
inline constexpr char kForm2PushButton6Click[] =
    "in Ludovane2/19/201510/24/2013.Form2.PushButton6_Click ";
inline constexpr char kForm2PushButton7Click[] =
    "in Ludovane2/19/201510/24/2013.Form2.PushButton7_Click ";
inline constexpr char kForm2PushButton8Click[] =
    "in Ludovane2/19/201510/24/2013.Form2.PushButton8_Click ";
inline constexpr char kForm2PushButton9Click[] =
    "in Ludovane2/19/201510/24/2013.Form2.PushButton9_Click ";
inline constexpr char kForm2PushButton10Click[] =
    "in Ludovane2/19/201510/24/2013.Form2.PushButton10_Click ";
inline constexpr char kForm2PushButton11Click[] =
    "in Ludovane2/19/201510/24/2013.Form2.PushButton11_Click ";
// The help button alone carries the single date.
inline constexpr char kForm2PushButton12Click[] = "in Ludovane2/19/2015.Form2.PushButton12_Click ";

inline constexpr char kAccessAddTablesToAccessListbox[] =
    "in Ludovane2/19/2015.Access.AddTablesToAccessListbox ";
inline constexpr char kAccessAddTablesToAccessListbox2[] =
    "in Ludovane2/19/2015.Access.AddTablesToAccessListbox2 ";

}  // namespace app::location
