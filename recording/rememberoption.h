#pragma once

class QCheckBox;
class QLabel;

// "Remember the password", where the records database's password is
// asked: on where this computer has a keyring, else off with the reason
// beside it. True when a password can be remembered.
namespace RememberOption {
bool setUp(QCheckBox *remember, QLabel *why, bool checked);
}
