-- Helper functions that let the generic query texts run on PostgreSQL.
CREATE OR REPLACE FUNCTION nvl(a anycompatible, b anycompatible) RETURNS anycompatible
  LANGUAGE sql IMMUTABLE AS 'SELECT COALESCE(a, b)';
CREATE OR REPLACE FUNCTION nvlstr(a text, b text) RETURNS text
  LANGUAGE sql IMMUTABLE AS 'SELECT CASE WHEN a IS NULL OR a = '''' THEN b ELSE a END';
CREATE OR REPLACE FUNCTION instr(a text, b text) RETURNS integer
  LANGUAGE sql IMMUTABLE AS 'SELECT strpos(a, b)';
CREATE OR REPLACE FUNCTION param(p text) RETURNS TABLE(param text)
  LANGUAGE sql IMMUTABLE AS 'SELECT p';
