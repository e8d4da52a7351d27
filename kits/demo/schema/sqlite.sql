-- The Kelm database for SQLite: the same tables as postgresql.sql. A key
-- the engine numbers is an INTEGER PRIMARY KEY (read back with
-- last_insert_rowid()).

CREATE TABLE ProdGroupOperate (
    Grp          smallint PRIMARY KEY,
    NameGrp      varchar(50),
    FullNameGrp  varchar(255)
);

CREATE TABLE ProdTypeOperate (
    Type         INTEGER PRIMARY KEY,
    Grp          smallint NOT NULL,
    Kind         smallint NOT NULL DEFAULT 0,
    Code         varchar(20),
    NameOperate  varchar(255),
    NameGrp      varchar(50),
    FullNameGrp  varchar(255),
    NameTable    varchar(128),
    NameScript   varchar(128),
    Color        integer,
    UNIQUE (Grp, Type)
);

CREATE TABLE ProdDocType (
    TypeDoc      INTEGER PRIMARY KEY,
    Type         smallint,
    Grp          smallint,
    NameDoc      varchar(100),
    FullNameDoc  varchar(255),
    NameTable    varchar(128),
    NameOperate  varchar(255),
    NameScript   varchar(128)
);

CREATE TABLE ProdDocState (
    Grp          smallint NOT NULL,
    State        smallint NOT NULL,
    NameState    varchar(255),
    PRIMARY KEY (Grp, State)
);

CREATE TABLE ProdDocAction (
    Action       integer PRIMARY KEY,
    NameAction   varchar(255),
    Grp          smallint
);

-- Document templates of the operations whose NameTable is Operation_Document.
CREATE TABLE Operation_DocumentTempl (
    id_template   INTEGER PRIMARY KEY,
    name_template varchar(255),
    Type          integer,
    TypeTemplate  integer NOT NULL DEFAULT 0
);

CREATE TABLE MainGroupOperate (
    Grp          integer PRIMARY KEY
);

CREATE TABLE MainTypeOperate (
    Grp          smallint NOT NULL,
    Type         smallint NOT NULL,
    NameOperate  varchar(255),
    PRIMARY KEY (Grp, Type)
);

CREATE TABLE MainDocType (
    Grp            integer NOT NULL,
    Type           integer NOT NULL,
    TypeDoc        integer PRIMARY KEY,
    defState       smallint,
    DocTypeOptions integer NOT NULL DEFAULT 0
);

CREATE TABLE MainDocState (
    idState         INTEGER PRIMARY KEY,
    Grp             integer NOT NULL,
    Type            integer NOT NULL,
    TypeDoc         integer NOT NULL,
    State           smallint NOT NULL,
    Action          integer NOT NULL DEFAULT 0,
    idCondition     integer NOT NULL DEFAULT 0,
    GenNewOperate   integer NOT NULL DEFAULT 0,
    isHoleProcess   integer NOT NULL DEFAULT 0,
    isPrevStateHole integer NOT NULL DEFAULT 0,
    isTakePrevState integer NOT NULL DEFAULT 0,
    DataAction      integer NOT NULL DEFAULT 0,
    DataActionI     integer NOT NULL DEFAULT 0,
    idParentState   integer NOT NULL DEFAULT 0,
    Comment         text,
    GraphInfo       blob
);
CREATE INDEX MainDocState_TypeDoc ON MainDocState (TypeDoc, Grp, State);

CREATE TABLE MainDocMove (
    idMove        INTEGER PRIMARY KEY,
    Grp           integer NOT NULL,
    Type          integer NOT NULL,
    TypeDoc       integer NOT NULL,
    State         integer NOT NULL,
    NewGrp        integer,
    NewType       integer,
    NewTypeDoc    integer NOT NULL DEFAULT 0,
    NewState      integer NOT NULL,
    MoveOptions   integer NOT NULL DEFAULT 0,
    name_template varchar(255),
    LinkState     integer NOT NULL DEFAULT 0,
    isPartialProc smallint NOT NULL DEFAULT 0,
    isConcurrent  smallint NOT NULL DEFAULT 0,
    FormulaScript text,
    GraphInfo     blob
);
CREATE INDEX MainDocMove_TypeDoc ON MainDocMove (TypeDoc);
CREATE INDEX MainDocMove_Key ON MainDocMove (TypeDoc, State, NewState);

CREATE TABLE MainDocAction (
    idAction    INTEGER PRIMARY KEY,
    Grp         integer NOT NULL,
    Type        integer NOT NULL,
    TypeDoc     integer NOT NULL,
    State       integer NOT NULL,
    NewGrp      integer,
    NewState    integer NOT NULL,
    Action      integer NOT NULL,
    ActionGrp   smallint NOT NULL DEFAULT 0,
    idMove      integer,
    TypeAction  integer,
    OrderAction smallint NOT NULL DEFAULT 0,
    GraphInfo   blob
);
CREATE INDEX MainDocAction_TypeDoc ON MainDocAction (TypeDoc);
CREATE INDEX MainDocAction_idMove ON MainDocAction (idMove);
CREATE INDEX MainDocAction_Key ON MainDocAction (TypeDoc, State, NewState, Action);

CREATE TABLE MainDocGraphic (
    Grp          smallint NOT NULL,
    Type         integer NOT NULL,
    Symbol_Data  blob
);
CREATE INDEX MainDocGraphic_Key ON MainDocGraphic (Grp, Type);

CREATE TABLE common_ver (
    Applversion  varchar(20) NOT NULL,
    flagtrue     varchar(1)
);
-- The structure version these tables make up.
INSERT INTO common_ver (Applversion, flagtrue) VALUES ('3.01.35', '*');

CREATE TABLE kelm_user (
    kelm_user_id      INTEGER PRIMARY KEY,
    db_user_netname   varchar(128) NOT NULL,
    kelm_user_isadmin integer NOT NULL DEFAULT 0
);

CREATE TABLE setup (
    id_firm      integer PRIMARY KEY,
    name         varchar(255)
);

CREATE TABLE struct_gr (
    id_struct     INTEGER PRIMARY KEY,
    id_firm       integer NOT NULL,
    struct_code   smallint,
    struct_parent smallint,
    struct_name   varchar(255),
    struct_lev    integer NOT NULL DEFAULT 0,
    flag_deleted  integer NOT NULL DEFAULT 0,
    sort          integer
);
CREATE INDEX struct_gr_firm_code ON struct_gr (id_firm, struct_code);

CREATE TABLE struct_gr_firm (
    id_firm      integer PRIMARY KEY,
    graph        blob
);
