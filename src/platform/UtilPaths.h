// Paths, folders, environment variables and text helpers of theUtil.
#pragma once

class CUtilPaths {};
