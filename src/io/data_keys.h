#pragma once
// Every key the game reads, with the type it is read as. Start-up reads each
// one once, so a missing or malformed tuning value stops the game before the
// window opens instead of in the middle of a match.

// Throws MissingDataKeyError or boost::bad_lexical_cast for the first key
// that is absent or does not convert, and std::invalid_argument for a value
// the game cannot run with.
void checkDataKeys();
