// The full GUI front end: assembles the wizard's pages from the package
// settings, runs it, and sets the exit code from how it ended.
#pragma once

class CZelSelfExtractorUIApp;

// dispatch 1: the package's extraction path is usable; 0: it is not, so the
// location page is shown.
void RunTavoWizard(CZelSelfExtractorUIApp& app, int dispatch);
