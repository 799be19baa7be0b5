#pragma once
// Resource ids of gen_quorvo.dll.
