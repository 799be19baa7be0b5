#pragma once
// Placeholder header; the recording output plug-in lives here.
