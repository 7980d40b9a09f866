"""Mutation testing for the project: sites in src/, applying mutants safely, running the suites."""
