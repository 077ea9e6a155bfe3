#pragma once

// File > Source login: asks for the source's login with the login prompt (its data source named, the
// current user offered), stores it in KELVO.INI and, when the source is not open yet, opens it with
// the new login. Tells the operator what was stored and where, or why not.
void AskSourceLogin();
