// Opens the configuration dialog over the main window.
#pragma once

class Tmainform;

// A fresh dialog, modally; it is destroyed once closed. A changed history folder reaches the
// auto-save thread through the main window.
void openconfigdialog(Tmainform& main);
