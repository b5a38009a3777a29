#pragma once
// Hands the wizard to the engine: the standard pages by class name, the wizard for runs with a
// window, and the language dialog.
namespace uinst {

void RegisterStandardPages();
// Registers the standard pages and sets the engine's wizard and language-dialog hooks.
void InstallWizard();

}  // namespace uinst
