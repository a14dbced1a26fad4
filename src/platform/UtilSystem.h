// Registry and system queries of theUtil.
#pragma once

class CUtilSystem {};
