// The recovery of installations that died halfway: every start of Setup.exe
// (and Setup.exe /RECOVER alone) looks for rollback journals whose
// installation no longer runs, rolls each back newest first, reports it
// and deletes the journal with its backups.
#pragma once

namespace qv {

// Rolls back the journal of every dead installation this run may act on:
// with `elevated` the machine's alone, and only those that nobody but the
// administrators can have written (any other is left alone and logged);
// without, the user's. A journal still held open is a living
// installation's and stays untouched. Each one rolled
// back is reported in a message box naming its application (answered by
// the table with /SUPPRESSMSGBOXES) and in one line of the installation
// log. False when something could not be put back or a journal was
// damaged: that journal stays, renamed, beside the backups not put back.
// The journal folders go when nothing is left in them.
bool RecoverDeadInstallations(bool elevated);

}  // namespace qv
