#pragma once

class QWebEngineProfile;

namespace brackenly {

// Makes the engine take up the current application proxy before this returns. The engine
// reads it only when a request asks which proxy to use, and that request itself still goes
// by the old setting; so one throwaway load of a closed loopback port asks for it, and once
// that load has failed the new setting is in force for every later request of the profile.
// False when the probe did not end within timeoutMs.
bool SettleEngineProxy(QWebEngineProfile* profile, int timeoutMs = 5000);

} // namespace brackenly
