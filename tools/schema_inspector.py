#!/usr/bin/env python3
"""Quillmap schema inspector.

Reads the tables, columns and key constraints of a PostgreSQL or Oracle
schema, or of a folder of CSV files, and prints them as one JSON object on
standard output. Progress lines and the reason of a failure go to standard
error.

    schema_inspector.py --dialect postgresql --host H --port P --user U
                        --password "" --schema S --dbname D
    schema_inspector.py --dialect oracle --host H --port P --user U
                        --password "" --schema S --dsn host:port/service
    schema_inspector.py --dialect csv --csv-dir FOLDER

Every option takes exactly one value, which may be empty; an empty value
means "the default". The value is given in the same argument as
--option=VALUE (as Quillmap passes it, so that no value is ever taken for an
option) or as the next argument, taken whatever it looks like. --schema takes one schema name or several separated by
commas; empty means every schema of the database that holds tables. When
more than one schema is read, table names are written as "schema.table"; a
table referenced from another schema is always written that way.

The password is taken from the environment variable QUILLMAP_DB_PASSWORD
when it is set and not empty, otherwise from --password. Quillmap passes it
in the environment and leaves --password empty, so that it never shows in a
process list.

PostgreSQL is read through python3-psycopg2, python3-psycopg or, when
neither imports, the psql client; QUILLMAP_INSPECTOR_PG_DRIVER set to
"psycopg2", "psycopg" or "psql" picks one. Oracle needs python3-oracledb.
CSV folders need nothing beyond the standard library: each *.csv file is a
table named after the file, its header line gives the columns, and a sample
of the rows gives each column one of the types integer, bigint, numeric,
boolean, date, timestamp or text.

The inspector never reads its standard input and gives up connecting after
CONNECT_TIMEOUT seconds.

Exit codes: 0 success, 1 the source could not be read, 2 bad command line.
"""

import csv
import datetime
import json
import os
import re
import shutil
import subprocess
import sys

INSPECTOR_VERSION = "1"
PASSWORD_VARIABLE = "QUILLMAP_DB_PASSWORD"
DRIVER_VARIABLE = "QUILLMAP_INSPECTOR_PG_DRIVER"
CONNECT_TIMEOUT = 10          # seconds
STATEMENT_TIMEOUT_MS = 120000
CSV_SAMPLE_ROWS = 1000

OPTIONS = ("--dialect", "--csv-dir", "--host", "--port", "--user", "--password",
           "--schema", "--dbname", "--dsn")
DIALECTS = ("postgresql", "oracle", "csv")

USAGE = """usage: schema_inspector.py --dialect {postgresql,oracle,csv}
         [--host HOST] [--port PORT] [--user USER] [--password PASSWORD]
         [--schema SCHEMA[,SCHEMA...]] [--dbname NAME] [--dsn DSN]
         [--csv-dir FOLDER]"""


class InspectorError(Exception):
    """A failure with a sentence for the user; ends the run with exit code 1."""


class UsageError(Exception):
    """A bad command line; ends the run with exit code 2."""


def progress(text):
    sys.stderr.write(text + "\n")
    sys.stderr.flush()


def one_line(text):
    """Joins the lines of a multi-line driver message into one line, each
    ending as a sentence."""
    parts = [part.strip() for part in str(text).splitlines() if part.strip()]
    return " ".join(p if p[-1] in ".?!:" else p + "." for p in parts[:-1]) + (" " + parts[-1] if len(parts) > 1 else parts[0] if parts else "")


# ---------------------------------------------------------------- command line

def parse_arguments(argv):
    """Reads "--option=value" or "--option value"; in the second form the
    option consumes the next argument whatever it looks like, so that values
    starting with "-" or empty values pass unchanged in both."""
    values = {}
    i = 0
    while i < len(argv):
        arg = argv[i]
        if arg in ("-h", "--help"):
            sys.stdout.write(USAGE + "\n")
            sys.exit(0)
        name, joined, value = arg.partition("=")
        if name not in OPTIONS:
            raise UsageError("unknown argument: %s" % (name if joined else arg))
        if joined:
            i += 1
        else:
            if i + 1 >= len(argv):
                raise UsageError("option %s needs a value" % arg)
            value = argv[i + 1]
            i += 2
        values[name[2:].replace("-", "_")] = value
    dialect = values.get("dialect", "").strip().lower()
    if not dialect:
        raise UsageError("--dialect is required")
    if dialect not in DIALECTS:
        raise UsageError("unknown dialect %r (expected postgresql, oracle or csv)" % dialect)
    values["dialect"] = dialect
    port = values.get("port", "").strip()
    if port:
        if not port.isdigit() or not 1 <= int(port) <= 65535:
            raise UsageError("--port must be a number from 1 to 65535, not %r" % port)
    values["port"] = port
    for key in ("csv_dir", "host", "user", "schema", "dbname", "dsn"):
        values[key] = values.get(key, "").strip()
    values["password"] = os.environ.get(PASSWORD_VARIABLE) or values.get("password", "")
    return values


def schema_list(text):
    names = []
    for part in text.split(","):
        part = part.strip()
        if part and part not in names:
            names.append(part)
    return names


class Namer:
    """Names tables as the diagram shows them: bare when the whole import
    reads one schema and the table is in it, "schema.table" otherwise."""

    def __init__(self, schemas):
        self.single = schemas[0] if len(schemas) == 1 else None

    def __call__(self, schema, table):
        if schema is None or schema == self.single:
            return table
        return "%s.%s" % (schema, table)


def unique_constraint_names(constraints):
    """Gives every constraint a non-empty name that no other constraint of
    the result carries. Database names are unique per table (PostgreSQL) or
    per owner (Oracle); the diagram keys relationships by name, so two
    tables' "fk_customer" must not become one."""
    used = set()
    for con in constraints:
        base = con.get("name") or "%s_%s" % (con["table"], con["type"].lower().replace(" ", "_"))
        name = base
        if name in used:
            name = "%s_%s" % (con["table"], base)
        counter = 2
        while name in used:
            name = "%s_%s_%d" % (con["table"], base, counter)
            counter += 1
        used.add(name)
        if name != con.get("name"):
            con["source_name"] = con.get("name", "")
        con["name"] = name
    return constraints


# ------------------------------------------------------------------ PostgreSQL

PG_ACTIONS = {"a": "NO ACTION", "r": "RESTRICT", "c": "CASCADE", "n": "SET NULL", "d": "SET DEFAULT"}
PG_TYPES = {"p": "PRIMARY KEY", "u": "UNIQUE", "f": "FOREIGN KEY", "c": "CHECK"}


def sql_literal(text):
    # standard_conforming_strings is switched on before any query runs, so
    # a backslash is an ordinary character and only quotes need doubling.
    return "'" + text.replace("'", "''") + "'"


def sql_identifier(text):
    return '"' + text.replace('"', '""') + '"'


PG_SCHEMAS_QUERY = """
SELECT coalesce(json_agg(n.nspname ORDER BY n.nspname), '[]'::json)::text
FROM pg_catalog.pg_namespace n
WHERE n.nspname NOT IN ('pg_catalog', 'information_schema')
  AND n.nspname NOT LIKE 'pg\\_toast%' AND n.nspname NOT LIKE 'pg\\_temp\\_%'
  AND EXISTS (SELECT 1 FROM pg_catalog.pg_class c
              WHERE c.relnamespace = n.oid AND c.relkind IN ('r', 'p', 'f')
                AND NOT c.relispartition)
"""

# One round trip: the whole catalogue of the schemas as one JSON text, rows
# as arrays (building an object per column costs the server more than all
# the rest together on large schemas).
PG_SCHEMA_QUERY = """
WITH rels AS (
    SELECT c.oid, n.nspname AS schema_name, c.relname, c.relkind
    FROM pg_catalog.pg_class c
    JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace
    WHERE c.relkind IN ('r', 'p', 'f') AND NOT c.relispartition
      AND n.nspname = ANY (%(schemas)s::text[])
)
SELECT json_build_object(
    'database', current_database(),
    'server_version', current_setting('server_version'),
    'found_schemas', (SELECT coalesce(json_agg(n.nspname ORDER BY n.nspname), '[]'::json)
                      FROM pg_catalog.pg_namespace n
                      WHERE n.nspname = ANY (%(schemas)s::text[])),
    -- oid, schema, name, kind, comment
    'tables', (SELECT coalesce(json_agg(json_build_array(
            r.oid, r.schema_name, r.relname, r.relkind, ds.description)
            ORDER BY r.schema_name, r.relname), '[]'::json)
        FROM rels r
        LEFT JOIN pg_catalog.pg_description ds ON ds.objoid = r.oid AND ds.objsubid = 0
             AND ds.classoid = 'pg_catalog.pg_class'::pg_catalog.regclass),
    -- table oid, name, type, nullable, default, identity, comment
    'columns', (SELECT coalesce(json_agg(json_build_array(
            a.attrelid, a.attname, pg_catalog.format_type(a.atttypid, a.atttypmod), NOT a.attnotnull,
            pg_catalog.pg_get_expr(d.adbin, d.adrelid), a.attidentity, ds.description)
            ORDER BY a.attrelid, a.attnum), '[]'::json)
        FROM pg_catalog.pg_attribute a
        JOIN rels r ON r.oid = a.attrelid
        LEFT JOIN pg_catalog.pg_attrdef d ON a.atthasdef AND d.adrelid = a.attrelid AND d.adnum = a.attnum
        LEFT JOIN pg_catalog.pg_description ds ON ds.objoid = a.attrelid AND ds.objsubid = a.attnum
             AND ds.classoid = 'pg_catalog.pg_class'::pg_catalog.regclass
        WHERE a.attnum > 0 AND NOT a.attisdropped),
    -- table oid, name, type, columns, referenced schema, table and columns,
    -- update and delete actions, definition
    'constraints', (SELECT coalesce(json_agg(json_build_array(
            con.conrelid, con.conname, con.contype,
            (SELECT coalesce(json_agg(a.attname ORDER BY k.ord), '[]'::json)
             FROM unnest(con.conkey) WITH ORDINALITY AS k(attnum, ord)
             JOIN pg_catalog.pg_attribute a ON a.attrelid = con.conrelid AND a.attnum = k.attnum),
            rn.nspname, rc.relname,
            (SELECT coalesce(json_agg(a.attname ORDER BY k.ord), '[]'::json)
             FROM unnest(con.confkey) WITH ORDINALITY AS k(attnum, ord)
             JOIN pg_catalog.pg_attribute a ON a.attrelid = con.confrelid AND a.attnum = k.attnum),
            con.confupdtype, con.confdeltype, pg_catalog.pg_get_constraintdef(con.oid, true))
            ORDER BY con.conrelid,
                     array_position(ARRAY['p', 'u', 'f', 'c']::"char"[], con.contype), con.conname), '[]'::json)
        FROM pg_catalog.pg_constraint con
        JOIN rels r ON r.oid = con.conrelid
        LEFT JOIN pg_catalog.pg_class rc ON rc.oid = con.confrelid
        LEFT JOIN pg_catalog.pg_namespace rn ON rn.oid = rc.relnamespace
        WHERE con.contype IN ('p', 'u', 'f', 'c') AND con.conparentid = 0)
)::text
"""


def pg_session_statements(schemas):
    statements = [
        "SET standard_conforming_strings = on",
        "SET statement_timeout = %d" % STATEMENT_TIMEOUT_MS,
        "SET client_min_messages = warning",
    ]
    if schemas:
        # Types defined in the schemas read are then written without their
        # schema, as a modeller writes them; types elsewhere keep it.
        statements.append("SET search_path = " + ", ".join(sql_identifier(s) for s in schemas))
    return statements


def pg_schema_query(schemas):
    array = "ARRAY[" + ", ".join(sql_literal(s) for s in schemas) + "]"
    return PG_SCHEMA_QUERY.replace("%(schemas)s", array)


class PsycopgSession:
    def __init__(self, module, options):
        self.module = module
        kwargs = {"connect_timeout": CONNECT_TIMEOUT,
                  "application_name": "quillmap-schema-inspector"}
        for key, value in (("host", options["host"]), ("port", options["port"]),
                           ("user", options["user"]), ("password", options["password"]),
                           ("dbname", options["dbname"])):
            if value:
                kwargs[key] = value
        try:
            self.connection = module.connect(**kwargs)
        except module.Error as error:
            raise InspectorError("Could not connect to PostgreSQL: %s" % one_line(error))
        try:
            self.connection.set_client_encoding("UTF8")
        except AttributeError:      # psycopg 3 sets it through the connection's info
            pass

    def query(self, statements, sql):
        try:
            with self.connection.cursor() as cursor:
                for statement in statements:
                    cursor.execute(statement)
                cursor.execute(sql)
                return cursor.fetchone()[0]
        except self.module.Error as error:
            raise InspectorError("Reading the PostgreSQL catalogue failed: %s" % one_line(error))

    def close(self):
        self.connection.close()


class PsqlSession:
    def __init__(self, program, options):
        self.program = program
        self.env = dict(os.environ)
        for key, value in (("PGHOST", options["host"]), ("PGPORT", options["port"]),
                           ("PGUSER", options["user"]), ("PGPASSWORD", options["password"]),
                           ("PGDATABASE", options["dbname"])):
            if value:
                self.env[key] = value
        self.env["PGCONNECT_TIMEOUT"] = str(CONNECT_TIMEOUT)
        self.env["PGCLIENTENCODING"] = "UTF8"
        self.env["PGAPPNAME"] = "quillmap-schema-inspector"

    def query(self, statements, sql):
        command = [self.program, "-X", "-q", "-A", "-t", "-w", "-v", "ON_ERROR_STOP=1"]
        for statement in statements:
            command += ["-c", statement]
        command += ["-c", sql]
        try:
            done = subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  timeout=CONNECT_TIMEOUT + STATEMENT_TIMEOUT_MS / 1000 + 30)
        except subprocess.TimeoutExpired:
            raise InspectorError("psql did not answer in time.")
        except OSError as error:
            raise InspectorError("Could not run psql: %s" % error)
        if done.returncode != 0:
            message = one_line(done.stderr.decode("utf-8", "replace"))
            message = re.sub(r"^psql: (error: )?", "", message)
            raise InspectorError("Could not read PostgreSQL through psql: %s" % message)
        return done.stdout.decode("utf-8").strip()

    def close(self):
        pass


def open_postgres(options):
    forced = os.environ.get(DRIVER_VARIABLE, "").strip().lower()
    drivers = [forced] if forced else ["psycopg2", "psycopg", "psql"]
    for driver in drivers:
        if driver == "psql":
            program = shutil.which("psql")
            if program:
                return PsqlSession(program, options), "psql"
            continue
        if driver not in ("psycopg2", "psycopg"):
            raise InspectorError("Unknown PostgreSQL driver %r in %s." % (driver, DRIVER_VARIABLE))
        try:
            module = __import__(driver)
        except ImportError:
            continue
        return PsycopgSession(module, options), driver
    raise InspectorError(
        "Reading PostgreSQL needs python3-psycopg2 or python3-psycopg for this Python (%s), "
        "or the psql client on the PATH; none was found." % sys.executable)


def as_json_value(value):
    return json.loads(value) if isinstance(value, str) else value


def inspect_postgres(options):
    where = options["host"] or "the local socket"
    if options["port"]:
        where += ":" + options["port"]
    progress("Connecting to PostgreSQL at %s…" % where)
    requested = schema_list(options["schema"])
    session, driver = open_postgres(options)
    try:
        base = pg_session_statements([])
        if not requested:
            progress("Listing schemas…")
            requested = as_json_value(session.query(base, PG_SCHEMAS_QUERY))
            if not requested:
                raise InspectorError("The database holds no tables.")
        progress("Reading tables, columns and constraints of %s…" % ", ".join(requested))
        catalogue = as_json_value(session.query(pg_session_statements(requested),
                                                pg_schema_query(requested)))
    finally:
        session.close()

    missing = [s for s in requested if s not in catalogue["found_schemas"]]
    if missing:
        raise InspectorError('%s "%s" %s not found in database "%s".'
                             % ("Schema" if len(missing) == 1 else "Schemas", '", "'.join(missing),
                                "was" if len(missing) == 1 else "were", catalogue["database"]))
    if not catalogue["tables"]:
        raise InspectorError('Schema "%s" of database "%s" holds no tables.'
                             % ('", "'.join(requested), catalogue["database"]))

    name = Namer(requested)
    tables = []
    by_oid = {}
    for oid, schema, table, kind, comment in catalogue["tables"]:
        entry = {
            "name": name(schema, table),
            "schema": schema,
            "kind": {"r": "table", "p": "partitioned table", "f": "foreign table"}.get(kind, "table"),
            "comment": comment,
            "columns": [],
        }
        tables.append(entry)
        by_oid[oid] = entry
    for oid, column, type_text, nullable, default, identity, comment in catalogue["columns"]:
        by_oid[oid]["columns"].append({
            "name": column, "type": type_text, "nullable": nullable, "default": default,
            "identity": {"a": "ALWAYS", "d": "BY DEFAULT"}.get(identity), "comment": comment})
    # Tables in name order, each table's constraints keys first.
    order = {oid: index for index, oid in enumerate(by_oid)}
    constraints = []
    for (oid, con_name, con_type, columns, ref_schema, ref_table, ref_columns,
         on_update, on_delete, definition) in sorted(catalogue["constraints"], key=lambda c: order[c[0]]):
        owner = by_oid[oid]
        entry = {
            "type": PG_TYPES[con_type],
            "name": con_name,
            "schema": owner["schema"],
            "table": owner["name"],
            "columns": columns,
        }
        if con_type == "f":
            entry["ref_schema"] = ref_schema
            entry["ref_table"] = name(ref_schema, ref_table)
            entry["ref_columns"] = ref_columns
            entry["on_update"] = PG_ACTIONS.get(on_update, "NO ACTION")
            entry["on_delete"] = PG_ACTIONS.get(on_delete, "NO ACTION")
        entry["definition"] = definition
        constraints.append(entry)
    meta = {"dialect": "postgresql", "database": catalogue["database"],
            "server_version": catalogue["server_version"], "schemas": requested, "driver": driver}
    return meta, tables, unique_constraint_names(constraints)


# ---------------------------------------------------------------------- Oracle

ORACLE_TABLES = """
SELECT table_name FROM all_tables
WHERE owner = :owner AND nested = 'NO' AND (iot_type IS NULL OR iot_type = 'IOT')
  AND secondary = 'N' AND dropped = 'NO'
ORDER BY table_name"""

ORACLE_COLUMNS = """
SELECT table_name, column_name, data_type, data_length, char_length, char_used,
       data_precision, data_scale, nullable
FROM all_tab_columns WHERE owner = :owner
ORDER BY table_name, column_id"""

ORACLE_CONSTRAINTS = """
SELECT c.table_name, c.constraint_name, c.constraint_type, cc.column_name,
       r.owner, r.table_name, c.delete_rule
FROM all_constraints c
JOIN all_cons_columns cc ON cc.owner = c.owner AND cc.constraint_name = c.constraint_name
                        AND cc.table_name = c.table_name
LEFT JOIN all_constraints r ON r.owner = c.r_owner AND r.constraint_name = c.r_constraint_name
WHERE c.owner = :owner AND c.constraint_type IN ('P', 'U', 'R')
ORDER BY c.table_name, c.constraint_name, cc.position"""


def oracle_type(data_type, length, char_length, char_used, precision, scale):
    if data_type in ("VARCHAR2", "VARCHAR", "CHAR"):
        size = char_length if char_used == "C" else length
        return "%s(%d%s)" % (data_type, size, " CHAR" if char_used == "C" else "")
    if data_type in ("NVARCHAR2", "NCHAR"):
        return "%s(%d)" % (data_type, char_length)
    if data_type == "RAW":
        return "RAW(%d)" % length
    if data_type == "NUMBER":
        if precision is None:
            return "NUMBER" if scale is None else "INTEGER" if scale == 0 else "NUMBER(*,%d)" % scale
        return "NUMBER(%d)" % precision if not scale else "NUMBER(%d,%d)" % (precision, scale)
    if data_type == "FLOAT" and precision is not None:
        return "FLOAT(%d)" % precision
    return data_type


def inspect_oracle(options):
    try:
        import oracledb
    except ImportError:
        raise InspectorError("Reading Oracle needs the python3-oracledb module, which this Python (%s) "
                             "cannot import." % sys.executable)
    dsn = options["dsn"]
    if not dsn and options["host"]:
        dsn = "%s:%s" % (options["host"], options["port"] or "1521")
    owner = (schema_list(options["schema"]) or [options["user"]])[0].upper()
    progress("Connecting to Oracle at %s…" % (dsn or "the default service"))
    try:
        connection = oracledb.connect(user=options["user"] or None, password=options["password"] or None,
                                      dsn=dsn or None, tcp_connect_timeout=CONNECT_TIMEOUT)
    except oracledb.Error as error:
        raise InspectorError("Could not connect to Oracle: %s" % one_line(error))
    try:
        cursor = connection.cursor()
        progress("Reading tables, columns and constraints of %s…" % owner)
        cursor.execute(ORACLE_TABLES, owner=owner)
        names = [row[0] for row in cursor]
        cursor.execute(ORACLE_COLUMNS, owner=owner)
        columns = {}
        for table, column, data_type, length, char_length, char_used, precision, scale, nullable in cursor:
            columns.setdefault(table, []).append({
                "name": column,
                "type": oracle_type(data_type, length, char_length, char_used, precision, scale),
                "nullable": nullable == "Y"})
        cursor.execute(ORACLE_CONSTRAINTS, owner=owner)
        found = {}
        for table, con_name, con_type, column, ref_owner, ref_table, delete_rule in cursor:
            if table not in columns:
                continue
            con = found.get((table, con_name))
            if con is None:
                con = {"type": {"P": "PRIMARY KEY", "U": "UNIQUE", "R": "FOREIGN KEY"}[con_type],
                       "name": con_name, "schema": owner, "table": table, "columns": []}
                if con_type == "R":
                    con["ref_schema"] = ref_owner
                    con["ref_table"] = ref_table if ref_owner == owner else "%s.%s" % (ref_owner, ref_table)
                    con["on_delete"] = delete_rule
                found[(table, con_name)] = con
            con["columns"].append(column)
    except oracledb.Error as error:
        raise InspectorError("Reading the Oracle catalogue failed: %s" % one_line(error))
    finally:
        connection.close()
    if not names:
        raise InspectorError('Schema "%s" holds no tables that this user can see.' % owner)
    tables = [{"name": n, "schema": owner, "columns": columns.get(n, [])} for n in names]
    meta = {"dialect": "oracle", "dsn": dsn, "schemas": [owner], "driver": "oracledb"}
    return meta, tables, unique_constraint_names(list(found.values()))


# ------------------------------------------------------------------------- CSV

INTEGER_RE = re.compile(r"^[+-]?\d+$")
NUMERIC_RE = re.compile(r"^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$")
DATE_RE = re.compile(r"^\d{4}-\d{2}-\d{2}$")
TIMESTAMP_RE = re.compile(r"^(\d{4}-\d{2}-\d{2})[ T](\d{2}):(\d{2})(:(\d{2})(\.\d+)?)?"
                          r"(Z|[+-]\d{2}(:?\d{2})?)?$")
BOOLEANS = {"t", "f", "true", "false", "yes", "no", "y", "n"}

# From the narrowest type to the widest; a column takes the first type that
# every non-empty sampled value fits.
CSV_TYPES = ("boolean", "integer", "bigint", "numeric", "date", "timestamp", "text")


def valid_date(text):
    try:
        datetime.date.fromisoformat(text[:10])
        return True
    except ValueError:
        return False


def value_fits(value, type_name):
    if type_name == "boolean":
        return value.lower() in BOOLEANS
    if type_name == "integer":
        return bool(INTEGER_RE.match(value)) and -2**31 <= int(value) < 2**31
    if type_name == "bigint":
        return bool(INTEGER_RE.match(value)) and -2**63 <= int(value) < 2**63
    if type_name == "numeric":
        return bool(NUMERIC_RE.match(value))
    if type_name == "date":
        return bool(DATE_RE.match(value)) and valid_date(value)
    if type_name == "timestamp":
        match = TIMESTAMP_RE.match(value)
        return bool(match) and valid_date(value) and int(match.group(2)) < 24 and int(match.group(3)) < 60
    return True


def infer_csv_type(values):
    present = [v for v in values if v != ""]
    if not present:
        return "text"
    for type_name in CSV_TYPES:
        if all(value_fits(v, type_name) for v in present):
            return type_name
    return "text"


def csv_delimiter(header_line):
    """The delimiter of a file, judged from its header line: the most frequent
    of comma, semicolon, tab and bar outside quotes; comma on a tie."""
    counts = {d: 0 for d in ",;\t|"}
    quoted = False
    for ch in header_line:
        if ch == '"':
            quoted = not quoted
        elif not quoted and ch in counts:
            counts[ch] += 1
    best = max(counts.values())
    return "," if best == 0 or counts[","] == best else max(counts, key=counts.get)


def unique_column_names(header):
    names = []
    seen = set()
    for index, raw in enumerate(header, start=1):
        base = raw.strip() or "column_%d" % index
        name = base
        counter = 2
        while name in seen:
            name = "%s_%d" % (base, counter)
            counter += 1
        seen.add(name)
        names.append(name)
    return names


def read_csv_table(path):
    with open(path, newline="", encoding="utf-8-sig") as handle:
        first = handle.readline()
        handle.seek(0)
        if not first.strip():
            return None, 0
        reader = csv.reader(handle, delimiter=csv_delimiter(first))
        header = next(reader)
        names = unique_column_names(header)
        samples = [[] for _ in names]
        rows = 0
        for record in reader:
            if not record or record == [""]:
                continue
            rows += 1
            if rows <= CSV_SAMPLE_ROWS:
                for i in range(len(names)):
                    samples[i].append(record[i] if i < len(record) else "")
        columns = [{"name": n, "type": infer_csv_type(s), "nullable": True} for n, s in zip(names, samples)]
        return columns, rows


def inspect_csv(options):
    folder = options["csv_dir"]
    if not folder:
        raise InspectorError("No CSV folder was given.")
    if not os.path.isdir(folder):
        raise InspectorError('The CSV folder "%s" does not exist.' % folder)
    progress("Reading CSV files in %s…" % folder)
    try:
        files = sorted(f for f in os.listdir(folder)
                       if f.lower().endswith(".csv") and os.path.isfile(os.path.join(folder, f)))
    except OSError as error:
        raise InspectorError('The CSV folder "%s" cannot be read: %s' % (folder, error.strerror))
    if not files:
        raise InspectorError('The folder "%s" holds no .csv files.' % folder)
    tables = []
    for file_name in files:
        path = os.path.join(folder, file_name)
        try:
            columns, rows = read_csv_table(path)
        except UnicodeDecodeError:
            raise InspectorError('"%s" is not UTF-8 text.' % file_name)
        except (OSError, csv.Error) as error:
            raise InspectorError('"%s" cannot be read: %s' % (file_name, error))
        if columns is None:
            progress("Skipping %s: it has no header line." % file_name)
            continue
        progress("Read %s: %d columns, %d rows." % (file_name, len(columns), rows))
        tables.append({"name": os.path.splitext(file_name)[0], "file": file_name, "rows": rows,
                       "columns": columns})
    if not tables:
        raise InspectorError('No .csv file in "%s" has a header line.' % folder)
    meta = {"dialect": "csv", "folder": os.path.abspath(folder)}
    return meta, tables, []


# ------------------------------------------------------------------------ main

def main(argv):
    for stream in (sys.stdout, sys.stderr):
        try:
            stream.reconfigure(encoding="utf-8", errors="backslashreplace")
        except AttributeError:
            pass
    try:
        options = parse_arguments(argv)
    except UsageError as error:
        sys.stderr.write("%s\nschema_inspector.py: error: %s\n" % (USAGE, error))
        return 2
    try:
        if options["dialect"] == "postgresql":
            meta, tables, constraints = inspect_postgres(options)
        elif options["dialect"] == "oracle":
            meta, tables, constraints = inspect_oracle(options)
        else:
            meta, tables, constraints = inspect_csv(options)
    except InspectorError as error:
        sys.stderr.write("%s\n" % error)
        return 1
    meta["inspector"] = "quillmap-schema-inspector " + INSPECTOR_VERSION
    meta["generated_at"] = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0).isoformat()
    progress("Read %d tables and %d constraints." % (len(tables), len(constraints)))
    document = json.dumps({"meta": meta, "tables": tables, "constraints": constraints},
                          ensure_ascii=False, separators=(",", ":"))
    sys.stdout.write(document)
    sys.stdout.write("\n")
    sys.stdout.flush()
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except KeyboardInterrupt:
        sys.exit(130)
