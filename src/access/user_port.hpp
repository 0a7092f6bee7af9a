#pragma once
// The "&User select" field of the port dialog, checked the same way by every
// front end.
#include <string>
#include <string_view>

namespace orlogix {

class Reporter;

// 1 with the port name for a valid entry (a number from 1 to 20, kept as
// "COM%d" or "\\.\COM%d", or a device path), 0 for an empty field (the
// selected list entry counts), -1 after "User port input error" or "User
// port out of range (1-20)" (title "Select COM port"); the dialog stays open.
int check_user_port(Reporter& r, std::string_view field, std::string& port_name);

}  // namespace orlogix
