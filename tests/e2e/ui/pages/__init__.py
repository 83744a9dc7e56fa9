"""Page objects: the main window (``Orrindel``) and the parts of it that
need more than a generic lookup (the connection, status and message cards,
dialog windows), plus the unittest base class."""
